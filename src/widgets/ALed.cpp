#include "widgets/ALed.h"

#include <QHash>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora {

namespace {

struct StyleInfo {
    int width;
    int height;
    const char *bordered;
    const char *borderless;
    bool round;
    double cornerRadius; // for the square and oblong shapes
};

const StyleInfo &info(ThhALed::TLEDStyle style)
{
    static const StyleInfo table[] = {
        {16, 16, "BSM", "NSM", true, 0},
        {22, 22, "BLG", "NLG", true, 0},
        {16, 16, "BSQSM", "NSQSM", false, 2},
        {22, 22, "BSQLG", "NSQLG", false, 2.5},
        {16, 22, "BVT", "NVT", false, 3},
        {22, 16, "BHZ", "NHZ", false, 3},
    };
    const int i = std::clamp(int(style), 0, int(std::size(table)) - 1);
    return table[i];
}

// Signed distance from a point (relative to the centre) to a rounded box of half-size bx × by.
double roundBoxDistance(double px, double py, double bx, double by, double r)
{
    const double qx = std::abs(px) - bx + r;
    const double qy = std::abs(py) - by + r;
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - r;
}

// Pixel by pixel, without antialiasing, so every region is one clean colour for the flood
// fill. The bands are one pixel wide in distance, and a 4-connected step changes the distance
// by at most one, so the face can never leak into the surround through the ring.
QImage drawTemplate(const StyleInfo &s, bool bordered)
{
    constexpr QRgb shadow = qRgb(128, 128, 128);
    constexpr QRgb light = qRgb(255, 255, 255);
    constexpr QRgb rim = qRgb(64, 64, 64);
    constexpr QRgb outline = qRgb(96, 96, 96);
    constexpr QRgb glint = qRgb(255, 255, 255);

    QImage img(s.width, s.height, QImage::Format_ARGB32);
    // One pixel of surround all round, so (0, 0) is always surround.
    const double bx = s.width / 2.0 - 1;
    const double by = s.height / 2.0 - 1;
    const double r = s.round ? std::min(bx, by) : s.cornerRadius;
    const double faceFrom = bordered ? -2 : -1;
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            const double px = x + 0.5 - s.width / 2.0;
            const double py = y + 0.5 - s.height / 2.0;
            const double d = roundBoxDistance(px, py, bx, by, r);
            QRgb c;
            if (d > 0)
                c = ThhALed::TemplateSurround;
            else if (d > -1)
                c = bordered ? (px + py < 0 ? shadow : light) : outline; // sunken socket
            else if (d > faceFrom)
                c = rim;
            else
                c = ThhALed::TemplateFace;
            img.setPixel(x, y, c);
        }
    }
    // A small highlight up and to the left; it keeps its colour whatever the face becomes.
    const int gx = int(std::floor(s.width / 2.0 - bx * 0.45));
    const int gy = int(std::floor(s.height / 2.0 - by * 0.45));
    const int g = std::min(s.width, s.height) >= 22 ? 2 : 1;
    for (int y = gy; y < gy + g; ++y)
        for (int x = gx; x < gx + g; ++x)
            if (img.pixel(x, y) == ThhALed::TemplateFace)
                img.setPixel(x, y, glint);
    return img;
}

const QHash<QString, QImage> &templates()
{
    static const QHash<QString, QImage> all = [] {
        QHash<QString, QImage> h;
        for (int i = ThhALed::LEDSmall; i <= ThhALed::LEDHorizontal; ++i) {
            const StyleInfo &s = info(ThhALed::TLEDStyle(i));
            h.insert(QString::fromLatin1(s.bordered), drawTemplate(s, true));
            h.insert(QString::fromLatin1(s.borderless), drawTemplate(s, false));
        }
        return h;
    }();
    return all;
}

} // namespace

ThhALed::ThhALed(QWidget *parent)
    : QWidget(parent)
{
    // The surround of a borderless lamp should vanish into the window it sits on.
    borderColor_ = palette().color(QPalette::Window);
    buildFaces();
    showingOn_ = false;
}

// The blink timer is a child and goes with the lamp.
ThhALed::~ThhALed() = default;

QSize ThhALed::styleSize(TLEDStyle style)
{
    const StyleInfo &s = info(style);
    return {s.width, s.height};
}

QString ThhALed::templateName(TLEDStyle style, bool bordered)
{
    const StyleInfo &s = info(style);
    return QString::fromLatin1(bordered ? s.bordered : s.borderless);
}

QImage ThhALed::faceTemplate(const QString &name)
{
    return templates().value(name);
}

void ThhALed::floodFill(QImage &image, QPoint seed, const QColor &colour)
{
    if (!image.rect().contains(seed))
        return;
    if (image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb from = image.pixel(seed);
    const QRgb to = colour.rgba();
    if (from == to)
        return; // nothing to do, and the loop below would never end
    std::vector<QPoint> stack{seed};
    while (!stack.empty()) {
        const QPoint p = stack.back();
        stack.pop_back();
        if (!image.rect().contains(p) || image.pixel(p) != from)
            continue;
        image.setPixel(p, to);
        stack.push_back({p.x() + 1, p.y()});
        stack.push_back({p.x() - 1, p.y()});
        stack.push_back({p.x(), p.y() + 1});
        stack.push_back({p.x(), p.y() - 1});
    }
}

void ThhALed::buildFaces()
{
    const QSize size = styleSize(style_);
    setFixedSize(size);
    const QImage tmpl = faceTemplate(templateName(style_, bordered_));
    onFace_ = tmpl;
    offFace_ = tmpl;
    const QPoint centre(size.width() / 2, size.height() / 2);
    floodFill(onFace_, centre, trueColor_);
    floodFill(offFace_, centre, falseColor_);
    if (!bordered_) {
        floodFill(onFace_, {0, 0}, borderColor_);
        floodFill(offFace_, {0, 0}, borderColor_);
    }
}

void ThhALed::showFace(bool on)
{
    showingOn_ = on;
    update();
}

void ThhALed::runTimer()
{
    // A zero period would fire on every pass of the event loop; a period of zero or less
    // leaves the lamp showing its current face instead.
    if (interval_ > 0)
        timer_->start(interval_);
    else
        timer_->stop();
}

void ThhALed::startBlink()
{
    if (timer_)
        return;
    showFace(true);
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &ThhALed::tick);
    runTimer();
}

void ThhALed::stopBlink()
{
    if (!timer_)
        return;
    // May run inside the timer's own tick (an OnTimer handler switching the lamp off).
    timer_->stop();
    timer_->disconnect(this);
    timer_->deleteLater();
    timer_ = nullptr;
}

void ThhALed::tick()
{
    showFace(!showingOn_);
    emit OnTimer();
}

void ThhALed::setValue(bool on)
{
    if (on == value_)
        return;
    value_ = on;
    if (on) {
        showFace(true);
        if (blink_)
            startBlink();
    } else {
        stopBlink();
        showFace(false);
    }
}

void ThhALed::setBlink(bool on)
{
    if (on == blink_)
        return;
    showFace(value_);
    blink_ = on;
    if (on && value_)
        startBlink();
    else
        stopBlink();
}

void ThhALed::applyColour(QColor &slot, const QColor &c)
{
    if (!c.isValid() || c == slot)
        return;
    // Blinking restarts from the on face in the new colours.
    const bool wasBlinking = blink_;
    setBlink(false);
    slot = c;
    buildFaces();
    setBlink(wasBlinking);
    update();
}

void ThhALed::setTrueColor(const QColor &c) { applyColour(trueColor_, c); }
void ThhALed::setFalseColor(const QColor &c) { applyColour(falseColor_, c); }
void ThhALed::setBorderColor(const QColor &c) { applyColour(borderColor_, c); }

void ThhALed::setBordered(bool on)
{
    if (on == bordered_)
        return;
    bordered_ = on;
    buildFaces();
    update();
}

void ThhALed::setLEDStyle(TLEDStyle style)
{
    if (style == style_)
        return;
    style_ = style;
    buildFaces();
    update();
}

void ThhALed::setInterval(int ms)
{
    interval_ = ms;
    if (timer_)
        runTimer();
}

void ThhALed::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(rect(), showingOn_ ? onFace_ : offFace_);
}

void ThhALed::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    emit OnMouseEnter();
}

void ThhALed::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    emit OnMouseLeave();
}

void ThhALed::mousePressEvent(QMouseEvent *event)
{
    // Accepting the press keeps the release coming to the lamp.
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void ThhALed::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && pressed_) {
        pressed_ = false;
        event->accept();
        if (rect().contains(event->position().toPoint()))
            emit clicked();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

} // namespace velmora
