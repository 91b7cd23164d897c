#include "widgets/GradientWidgets.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace velmora {

GradientButton::GradientButton(Shape shape, const QString &caption, QWidget *parent)
    : QPushButton(caption, parent), shape_(shape)
{
    setAttribute(Qt::WA_Hover); // for the hover tint
}

QColor GradientButton::captionColor() const
{
    if (caption_.isValid())
        return caption_;
    return QColor::fromRgba(isEnabled() ? EnabledCaption : DisabledCaption);
}

void GradientButton::setCaptionColor(const QColor &c)
{
    caption_ = c;
    update();
}

void GradientButton::setStartColor(const QColor &c)
{
    start_ = c;
    update();
}

void GradientButton::setEndColor(const QColor &c)
{
    end_ = c;
    update();
}

QSize GradientButton::sizeHint() const
{
    const QSize base = QPushButton::sizeHint();
    const int pad = shape_ == Shape::Hemisphere ? base.height() / 2 : 6;
    return {base.width() + pad, std::max(base.height(), 24)};
}

void GradientButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    qreal radius = 1.5;
    if (shape_ == Shape::Rounded)
        radius = std::min<qreal>(6, box.height() / 3);
    else if (shape_ == Shape::Hemisphere)
        radius = box.height() / 2;
    QPainterPath outline;
    outline.addRoundedRect(box, radius, radius);

    // Disabled buttons go a shade darker so the silver caption still reads.
    QColor top = isEnabled() ? start_ : QColor(146, 148, 153);
    QColor bottom = isEnabled() ? end_ : QColor(108, 110, 117);
    if (isEnabled() && underMouse() && !isDown()) {
        top = top.lighter(104);
        bottom = bottom.lighter(106);
    }
    const bool sunken = isDown() || isChecked();
    if (sunken)
        std::swap(top, bottom);
    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.fillPath(outline, fill);

    if (shape_ == Shape::Hemisphere) {
        // Light falling on the upper half of the dome.
        const QRectF upper(box.left(), box.top(), box.width(), box.height() / 2);
        QLinearGradient gloss(upper.topLeft(), upper.bottomLeft());
        const int strength = sunken || !isEnabled() ? 60 : 170;
        gloss.setColorAt(0, QColor(255, 255, 255, strength));
        gloss.setColorAt(1, QColor(255, 255, 255, strength / 4));
        p.save();
        p.setClipPath(outline);
        p.fillRect(upper, gloss);
        p.restore();
    }

    p.setPen(QPen(bottom.darker(isEnabled() ? 170 : 140), 1));
    p.drawPath(outline);

    if (hasFocus()) {
        QPen dots(QColor(0, 0, 0, 140), 1, Qt::DotLine);
        p.setPen(dots);
        p.setBrush(Qt::NoBrush);
        const QRectF inner = box.adjusted(3, 3, -3, -3);
        const qreal r = std::max<qreal>(0, radius - 3);
        p.drawRoundedRect(inner, r, r);
    }

    QRect textRect = rect().adjusted(4, 2, -4, -2);
    if (sunken)
        textRect.translate(1, 1);
    if (!icon().isNull()) {
        const QSize is = iconSize();
        const int textWidth = fontMetrics().horizontalAdvance(text());
        const int gap = text().isEmpty() ? 0 : 4;
        const int left = textRect.center().x() - (is.width() + gap + textWidth) / 2;
        const QRect iconRect(left, textRect.center().y() - is.height() / 2, is.width(), is.height());
        icon().paint(&p, iconRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
        textRect.setLeft(iconRect.right() + 1 + gap);
        p.setPen(captionColor());
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextShowMnemonic, text());
        return;
    }
    p.setPen(captionColor());
    p.drawText(textRect, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

Gradpanl::Gradpanl(const QString &caption, QWidget *parent)
    : QFrame(parent), caption_(caption)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
}

void Gradpanl::setCaption(const QString &text)
{
    caption_ = text;
    update();
}

void Gradpanl::setAlignment(Qt::Alignment a)
{
    align_ = a;
    update();
}

void Gradpanl::setStartColor(const QColor &c)
{
    start_ = c;
    update();
}

void Gradpanl::setEndColor(const QColor &c)
{
    end_ = c;
    update();
}

QSize Gradpanl::sizeHint() const
{
    const QFontMetrics fm = fontMetrics();
    const int frame = 2 * frameWidth();
    return {std::max(fm.horizontalAdvance(caption_) + 16, 40) + frame, fm.height() + 10 + frame};
}

void Gradpanl::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, start_);
    fill.setColorAt(1, end_);
    p.fillRect(rect(), fill);
    drawFrame(&p);
    if (!caption_.isEmpty()) {
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 QPalette::WindowText));
        p.drawText(contentsRect().adjusted(6, 2, -6, -2), int(align_), caption_);
    }
}

Hemibtn *MakeEstopButton(QWidget *parent)
{
    auto *estop = new Hemibtn(QStringLiteral("E-STOP"), parent);
    estop->setObjectName(QStringLiteral("BTN_ESTOP"));
    estop->setStartColor(QColor(255, 90, 90));
    estop->setEndColor(QColor(190, 0, 0));
    estop->setCaptionColor(Qt::white);
    QFont bold = estop->font();
    bold.setBold(true);
    estop->setFont(bold);
    return estop;
}

} // namespace velmora
