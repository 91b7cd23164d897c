#include "tuning/StripChart.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImageWriter>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "params/AtomicFile.h"
#include "tuning/SampleTimeline.h"

namespace velmora {

namespace {

const QColor FaceColour(24, 24, 24);
const QColor PlotColour(0, 0, 0);
const QColor GridColour(64, 64, 64);
const QColor FrameColour(128, 128, 128);
const QColor LabelColour(200, 200, 200);
const QColor MarkerColour(255, 140, 0);
const QColor LevelColour(0, 200, 255);
const QColor CursorColour(230, 230, 230);
const QColor ReadoutFill(0, 0, 0, 200);

// Mapped coordinates are clamped this far outside the plot, so an absurd value never reaches
// the rasteriser as a huge number.
constexpr double FarOff = 1e6;
// Dots are drawn while points are at least this many pixels apart.
constexpr double DotSpacing = 4;

// A range that can be drawn: a single value gets room on either side, and the span stays finite.
ValueSpan drawable(ValueSpan r)
{
    r.lo = std::max(r.lo, -1e307);
    r.hi = std::min(r.hi, 1e307);
    if (!(r.hi > r.lo)) {
        const double pad = std::max(1.0, std::abs(r.lo) / 20);
        r.lo -= pad;
        r.hi += pad;
    }
    return r;
}

// Grid values: multiples of 1, 2 or 5 times a power of ten, at most about maxTicks of them.
std::vector<double> gridValues(const ValueSpan &r, int maxTicks)
{
    std::vector<double> values;
    const double span = r.hi - r.lo;
    if (!(span > 0) || !std::isfinite(span))
        return values;
    const double raw = span / std::max(1, maxTicks);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    const double step = (norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10) * magnitude;
    const double first = std::ceil(r.lo / step);
    if (!(step > 0) || !std::isfinite(first))
        return values; // a span too small for doubles to step through
    for (int k = 0; k <= 2 * maxTicks + 2; ++k) {
        double v = (first + k) * step;
        if (v > r.hi)
            break;
        if (std::abs(v) < step * 1e-9)
            v = 0; // no "-0" or "1e-17" label
        values.push_back(v);
    }
    return values;
}

QString gridLabel(double v) { return QString::number(v, 'g', 7); }

// The readout of point i: the point, then each series holding it, with the colour of each line.
QStringList readoutLines(const StripChart &chart, qint64 i, std::vector<QColor> *colours = nullptr)
{
    QStringList lines;
    const SampleTimeline *timeline = chart.timeline();
    if (timeline && i < timeline->count())
        lines << QStringLiteral("#%1  %2 s").arg(timeline->request(i)).arg(timeline->time(i), 0, 'f', 3);
    else
        lines << QStringLiteral("#%1").arg(i);
    if (colours)
        colours->push_back(LabelColour);
    for (int k = 0; k < chart.seriesCount(); ++k) {
        const StripSeries *s = chart.series(k);
        if (i >= s->count())
            continue;
        const double v = s->y(i);
        lines << s->title() + QStringLiteral(": ") + (std::isfinite(v) ? QString::number(v, 'g', 7) : QStringLiteral("-"));
        if (colours)
            colours->push_back(s->colorAt(i));
    }
    return lines;
}

} // namespace

// ---- ValueSpan ----

void ValueSpan::add(double v)
{
    if (std::isfinite(v)) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
}

void ValueSpan::add(const ValueSpan &other)
{
    lo = std::min(lo, other.lo);
    hi = std::max(hi, other.hi);
}

// ---- StripSeries ----

StripSeries::StripSeries(StripChart *chart, const QString &name, QRgb color)
    : chart_(chart), name_(name), color_(color)
{
}

void StripSeries::setTitle(const QString &title)
{
    title_ = title;
    chart_->update(); // the readout box names it
}

qint64 StripSeries::appendRgb(double y, QRgb rgb)
{
    const qint64 i = count_;
    if ((i & BlockMask) == 0)
        blocks_.push_back(std::make_unique_for_overwrite<float[]>(size_t(BlockSize)));
    const float stored = float(y);
    blocks_.back()[size_t(i & BlockMask)] = stored;
    last_ = y;
    ++count_;

    // Level k's entry i / Fan^(k+1) takes the value; levels above the first entry of a level
    // are not needed yet. A new top level starts from the level below's first entry, which
    // covers every earlier point.
    qint64 entry = i;
    for (size_t k = 0;; ++k) {
        entry /= Fan;
        if (k == levels_.size()) {
            levels_.emplace_back();
            if (k > 0)
                levels_[k].push_back(levels_[k - 1][0]);
        }
        std::vector<ValueSpan> &level = levels_[k];
        if (size_t(entry) == level.size())
            level.emplace_back();
        level[size_t(entry)].add(stored); // the extremes of what is drawn
        if (entry == 0)
            break;
    }
    all_.add(stored);

    if (runs_.empty() || runs_.back().rgb != rgb)
        runs_.push_back({i, rgb});
    chart_->markDirty();
    return i;
}

void StripSeries::clear()
{
    count_ = 0;
    std::vector<std::unique_ptr<float[]>>().swap(blocks_);
    std::vector<std::vector<ValueSpan>>().swap(levels_);
    std::vector<ColorRun>().swap(runs_);
    all_ = {};
    chart_->seriesCleared();
    chart_->markDirty();
}

std::optional<qint64> StripSeries::lastX() const
{
    if (count_ == 0)
        return std::nullopt;
    return count_ - 1;
}

std::optional<double> StripSeries::lastY() const
{
    if (count_ == 0)
        return std::nullopt;
    return last_;
}

size_t StripSeries::runIndexAt(qint64 i) const
{
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), i,
                                        [](qint64 x, const ColorRun &run) { return x < run.first; });
    return after == runs_.begin() ? 0 : size_t(after - runs_.begin() - 1);
}

QColor StripSeries::colorAt(qint64 i) const
{
    return runs_.empty() ? color() : QColor::fromRgb(runs_[runIndexAt(i)].rgb);
}

ValueSpan StripSeries::span(qint64 first, qint64 last) const
{
    ValueSpan s;
    first = std::max<qint64>(first, 0);
    last = std::min(last, count_ - 1);
    if (first > last)
        return s;

    // Raw values up to the first whole summary entry and from the last one on; then, level by
    // level, loose entries at both ends and whole entries of the level above in between.
    qint64 lo = first;
    qint64 hi = last + 1;
    const auto roundUp = [](qint64 v) { return (v + Fan - 1) / Fan * Fan; };
    qint64 loUp = roundUp(lo);
    qint64 hiDown = hi / Fan * Fan;
    if (loUp >= hiDown) {
        for (qint64 i = lo; i < hi; ++i)
            s.add(y(i));
        return s;
    }
    for (qint64 i = lo; i < loUp; ++i)
        s.add(y(i));
    for (qint64 i = hiDown; i < hi; ++i)
        s.add(y(i));
    lo = loUp / Fan;
    hi = hiDown / Fan;
    for (size_t k = 0; lo < hi; ++k) {
        const std::vector<ValueSpan> &level = levels_[k];
        loUp = roundUp(lo);
        hiDown = hi / Fan * Fan;
        if (k + 1 == levels_.size() || loUp >= hiDown) {
            for (qint64 j = lo; j < hi; ++j)
                s.add(level[size_t(j)]);
            break;
        }
        for (qint64 j = lo; j < loUp; ++j)
            s.add(level[size_t(j)]);
        for (qint64 j = hiDown; j < hi; ++j)
            s.add(level[size_t(j)]);
        lo = loUp / Fan;
        hi = hiDown / Fan;
    }
    return s;
}

qint64 StripSeries::memoryBytes() const
{
    qint64 bytes = qint64(blocks_.size()) * BlockSize * qint64(sizeof(float))
                   + qint64(blocks_.capacity() * sizeof(blocks_[0]))
                   + qint64(levels_.capacity() * sizeof(levels_[0]))
                   + qint64(runs_.capacity() * sizeof(ColorRun));
    for (const std::vector<ValueSpan> &level : levels_)
        bytes += qint64(level.capacity() * sizeof(ValueSpan));
    return bytes;
}

// ---- StripAxis ----

StripAxis::StripAxis(StripChart *chart, Qt::Orientation orientation, double minimum, double maximum)
    : chart_(chart), orientation_(orientation), min_(minimum), max_(maximum)
{
}

ValueSpan StripAxis::range() const
{
    if (automatic_) {
        ValueSpan shown = orientation_ == Qt::Horizontal ? chart_->shownX() : chart_->shownY();
        if (!shown.isEmpty()) {
            if (shown.hi > shown.lo) {
                if (orientation_ == Qt::Vertical) {
                    // Worked out so that it stays finite for any finite values.
                    const double margin = shown.hi / 20 - shown.lo / 20;
                    shown.lo = std::max(shown.lo - margin, -std::numeric_limits<double>::max());
                    shown.hi = std::min(shown.hi + margin, std::numeric_limits<double>::max());
                }
                return shown;
            }
            return drawable(shown);
        }
    }
    return {min_, max_};
}

double StripAxis::minimum() const { return range().lo; }
double StripAxis::maximum() const { return range().hi; }

void StripAxis::setAutomatic(bool on)
{
    if (on == automatic_)
        return;
    if (!on) {
        const ValueSpan r = range();
        min_ = r.lo;
        max_ = r.hi;
    }
    automatic_ = on;
    chart_->markDirty();
}

bool StripAxis::fix(double minimum, double maximum)
{
    if (!std::isfinite(minimum) || !std::isfinite(maximum) || minimum > maximum)
        return false;
    automatic_ = false;
    min_ = minimum;
    max_ = maximum;
    chart_->markDirty();
    return true;
}

bool StripAxis::setMinimum(double value) { return fix(value, range().hi); }
bool StripAxis::setMaximum(double value) { return fix(range().lo, value); }
bool StripAxis::setRange(double minimum, double maximum) { return fix(minimum, maximum); }

bool StripAxis::scroll(double offset)
{
    if (offset == 0 || !std::isfinite(offset))
        return false;
    const ValueSpan r = range();
    const ValueSpan shown = orientation_ == Qt::Horizontal ? chart_->shownX() : chart_->shownY();
    if (shown.isEmpty())
        return false;
    if (offset > 0 ? !(shown.hi > r.hi) : !(shown.lo < r.lo))
        return false;
    return fix(r.lo + offset, r.hi + offset);
}

// ---- StripChart ----

StripChart::StripChart(QWidget *parent)
    : QWidget(parent),
      horizontal_(this, Qt::Horizontal, -50, 0),
      vertical_(this, Qt::Vertical, -100, 100),
      repaintTimer_(new QTimer(this)),
      labelFont_(QFontDatabase::systemFont(QFontDatabase::FixedFont))
{
    labelFont_.setPointSize(8);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(sizeHint());
    repaintTimer_->setSingleShot(true);
    repaintTimer_->setInterval(RepaintIntervalMs);
    connect(repaintTimer_, &QTimer::timeout, this, &StripChart::repaintTick);
}

StripChart::~StripChart() = default;

StripSeries *StripChart::addSeries(const QString &name, const QColor &color)
{
    if (seriesCount() >= MaxSeries)
        return nullptr;
    series_.push_back(std::unique_ptr<StripSeries>(new StripSeries(this, name, color.rgb())));
    markDirty();
    return series_.back().get();
}

StripSeries *StripChart::series(int i) const
{
    return i >= 0 && i < seriesCount() ? series_[size_t(i)].get() : nullptr;
}

qint64 StripChart::memoryBytes() const
{
    qint64 bytes = 0;
    for (const auto &s : series_)
        bytes += s->memoryBytes();
    return bytes;
}

void StripChart::markDirty()
{
    dirty_ = true;
    if (!repaintTimer_->isActive())
        repaintTimer_->start();
}

void StripChart::repaintTick()
{
    dirty_ = false;
    update();
}

void StripChart::seriesCleared()
{
    if (cursor_ && *cursor_ >= pointCount()) {
        cursor_.reset();
        update();
    }
}

qint64 StripChart::pointCount() const
{
    qint64 n = 0;
    for (const auto &series : series_)
        n = std::max(n, series->count());
    return n;
}

ValueSpan StripChart::shownX() const
{
    ValueSpan s;
    for (const auto &series : series_) {
        if (series->count() > 0) {
            s.add(0.0);
            s.add(double(series->count() - 1));
        }
    }
    return s;
}

ValueSpan StripChart::shownY() const
{
    const ValueSpan xr = horizontal_.range();
    ValueSpan s;
    // Clamped before converting, so an axis at +-1e300 stays a valid index range.
    const double top = 9e18;
    const qint64 first = qint64(std::clamp(std::ceil(xr.lo), -1.0, top));
    const qint64 last = qint64(std::clamp(std::floor(xr.hi), -1.0, top));
    for (const auto &series : series_)
        s.add(series->span(first, last));
    return s;
}

// Where everything goes at one size: the plot, the ranges it shows and the grid.
struct StripChart::Layout {
    QSize size;
    QRectF plot; // empty when the size leaves no room for one
    ValueSpan xr;
    ValueSpan yr;
    std::vector<double> yGrid;
    std::vector<std::pair<double, QString>> xLabels; // X (point index) and text
    bool seconds = false;                             // the last label gets the unit

    double mapX(double x) const { return plot.left() + (x - xr.lo) / (xr.hi - xr.lo) * plot.width(); }
    double mapY(double y) const { return plot.bottom() - (y - yr.lo) / (yr.hi - yr.lo) * plot.height(); }
};

StripChart::Layout StripChart::layout(const QSize &size) const
{
    Layout l;
    l.size = size;
    const QFontMetrics fm(labelFont_);
    l.xr = drawable(horizontal_.range());
    l.yr = drawable(vertical_.range());

    // Seconds need a timeline whose times advance across the window.
    ValueSpan tr;
    if (timeAxis_ && timeline_ && timeline_->count() > 0) {
        tr = {timeline_->timeAt(l.xr.lo), timeline_->timeAt(l.xr.hi)};
        l.seconds = std::isfinite(tr.lo) && std::isfinite(tr.hi) && tr.hi > tr.lo;
    }

    const int top = fm.height() / 2 + 4;
    const int bottom = size.height() - fm.height() - 6;
    l.yGrid = gridValues(l.yr, std::max(1, (bottom - top) / 28));
    int labelWidth = 0;
    for (double v : l.yGrid)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(gridLabel(v)));
    const int left = labelWidth + 8;
    const ValueSpan &labelled = l.seconds ? tr : l.xr;
    const int xLabelWidth = std::max(fm.horizontalAdvance(gridLabel(labelled.lo)), fm.horizontalAdvance(gridLabel(labelled.hi)));
    const int unitWidth = l.seconds ? fm.horizontalAdvance(QStringLiteral(" s")) : 0;
    const int right = size.width() - xLabelWidth / 2 - 6 - unitWidth;
    if (right - left < 4 || bottom - top < 4)
        return l;
    l.plot = QRectF(left, top, right - left, bottom - top);

    const int maxTicks = std::max(1, int(l.plot.width()) / (xLabelWidth + 24));
    if (!l.seconds) {
        for (double v : gridValues(l.xr, maxTicks))
            l.xLabels.emplace_back(v, gridLabel(v));
        return l;
    }
    // Round times, at the index where the timeline reaches them. Where the times jump (a pause
    // in the sampling) several of them meet at one place: only labels with room between them stay.
    double lastRight = -std::numeric_limits<double>::infinity();
    for (double t : gridValues(tr, maxTicks)) {
        const double x = timeline_->indexAt(t);
        if (!(x >= l.xr.lo - 1e-9 * (l.xr.hi - l.xr.lo)) || !(x <= l.xr.hi + 1e-9 * (l.xr.hi - l.xr.lo)))
            continue;
        const QString text = gridLabel(t);
        const double half = fm.horizontalAdvance(text) / 2.0;
        const double px = l.mapX(x);
        if (px - half < lastRight + 8)
            continue;
        lastRight = px + half;
        l.xLabels.emplace_back(x, text);
    }
    return l;
}

std::vector<std::pair<double, QString>> StripChart::horizontalLabels() const { return layout(size()).xLabels; }

QRectF StripChart::plotRect() const { return layout(size()).plot; }

void StripChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const Layout l = layout(size());
    paintFace(painter, l);
    paintCursor(painter, l);
}

void StripChart::paintChart(QPainter &painter, const QSize &size) const { paintFace(painter, layout(size)); }

void StripChart::paintFace(QPainter &painter, const Layout &l) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), l.size), FaceColour);
    painter.setFont(labelFont_);
    const QFontMetrics fm(labelFont_);
    if (l.plot.isEmpty()) {
        painter.restore();
        return;
    }
    const QRectF &plot = l.plot;

    painter.fillRect(plot, PlotColour);
    painter.setPen(GridColour);
    for (double v : l.yGrid)
        painter.drawLine(QLineF(plot.left(), l.mapY(v), plot.right(), l.mapY(v)));
    for (const auto &[x, text] : l.xLabels)
        painter.drawLine(QLineF(l.mapX(x), plot.top(), l.mapX(x), plot.bottom()));

    painter.setPen(LabelColour);
    for (double v : l.yGrid) {
        const QRectF box(0, l.mapY(v) - fm.height() / 2.0, plot.left() - 5, fm.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, gridLabel(v));
    }
    for (const auto &[x, text] : l.xLabels) {
        const QRectF box(l.mapX(x) - 60, plot.bottom() + 3, 120, fm.height());
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, text);
    }
    if (l.seconds && !l.xLabels.empty()) {
        const auto &[x, text] = l.xLabels.back();
        const double after = l.mapX(x) + fm.horizontalAdvance(text) / 2.0;
        painter.drawText(QRectF(after, plot.bottom() + 3, 60, fm.height()), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral(" s"));
    }

    painter.save();
    painter.setClipRect(plot);
    for (const auto &series : series_)
        paintSeries(painter, *series, plot, l.xr, l.yr);
    if (marker_ && double(*marker_) >= l.xr.lo && double(*marker_) <= l.xr.hi) {
        painter.setPen(QPen(MarkerColour, 0, Qt::DashLine));
        const double x = l.mapX(double(*marker_));
        painter.drawLine(QLineF(x, plot.top(), x, plot.bottom()));
    }
    if (level_ && *level_ >= l.yr.lo && *level_ <= l.yr.hi) {
        painter.setPen(QPen(LevelColour, 0, Qt::DashLine));
        const double y = l.mapY(*level_);
        painter.drawLine(QLineF(plot.left(), y, plot.right(), y));
    }
    painter.restore();

    painter.setPen(FrameColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);
    painter.restore();
}

void StripChart::paintSeries(QPainter &painter, const StripSeries &series, const QRectF &plot,
                             const ValueSpan &xr, const ValueSpan &yr) const
{
    if (series.count() == 0)
        return;
    const double xScale = plot.width() / (xr.hi - xr.lo);
    const double yScale = plot.height() / (yr.hi - yr.lo);
    const auto mapX = [&](double x) {
        return std::clamp(plot.left() + (x - xr.lo) * xScale, plot.left() - FarOff, plot.right() + FarOff);
    };
    const auto mapY = [&](double y) {
        return std::clamp(plot.bottom() - (y - yr.lo) * yScale, plot.top() - FarOff, plot.bottom() + FarOff);
    };

    // One point beyond each edge, so lines run out of the plot rather than stopping short.
    const double top = 9e18;
    const qint64 first = std::max<qint64>(0, qint64(std::clamp(std::floor(xr.lo), -1.0, top)));
    const qint64 last = std::min(series.count() - 1, qint64(std::clamp(std::ceil(xr.hi), -1.0, top)));
    if (first > last)
        return;

    // Colour runs are walked alongside the points.
    const std::vector<StripSeries::ColorRun> &runs = series.runs_;
    size_t run = series.runIndexAt(first);
    const auto rgbAt = [&](qint64 i) {
        while (run + 1 < runs.size() && runs[run + 1].first <= i)
            ++run;
        return runs[run].rgb;
    };

    const int columns = int(plot.width());
    if (last - first + 1 > columns) {
        // More points than pixels: each pixel column gets one stroke from its lowest to its highest
        // value, stretched to the previous column's last value so that jumps stay joined.
        // Whole-pixel rectangles take the painter's fast solid fill.
        std::vector<QRect> strokes;
        QRgb strokeRgb = 0;
        const auto drawStrokes = [&] {
            const QColor colour = QColor::fromRgb(strokeRgb);
            for (const QRect &r : strokes)
                painter.fillRect(r, colour);
            strokes.clear();
        };
        const double perColumn = (xr.hi - xr.lo) / columns;
        const auto boundary = [&](int c) {
            return std::clamp(qint64(std::clamp(std::ceil(xr.lo + c * perColumn), -1.0, top)), first, last + 1);
        };
        double previousLast = qQNaN();
        qint64 a = boundary(0);
        for (int c = 0; c < columns; ++c) {
            const qint64 b = boundary(c + 1);
            if (a >= b)
                continue;
            ValueSpan s = series.span(a, b - 1);
            if (!s.isEmpty()) {
                s.add(previousLast);
                const QRgb rgb = rgbAt(b - 1);
                if (!strokes.empty() && rgb != strokeRgb)
                    drawStrokes();
                strokeRgb = rgb;
                const int high = int(std::lround(mapY(s.hi)));
                strokes.emplace_back(int(plot.left()) + c, high, 1, int(std::lround(mapY(s.lo))) - high + 1);
            }
            previousLast = series.y(b - 1);
            a = b;
        }
        if (!strokes.empty())
            drawStrokes();
        return;
    }

    // A line through the points, broken where a value is not finite, with a dot at each point
    // while they are far enough apart to tell.
    const bool dots = xScale >= DotSpacing;
    QPolygonF line;
    QRgb lineRgb = 0;
    std::vector<QRectF> dotRects;
    const auto flush = [&] {
        if (line.isEmpty())
            return;
        painter.setPen(QPen(QColor::fromRgb(lineRgb), 0));
        painter.drawPolyline(line);
        if (dots) {
            dotRects.clear();
            for (const QPointF &p : line)
                dotRects.emplace_back(p.x() - 1, p.y() - 1, 3, 3);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor::fromRgb(lineRgb));
            painter.drawRects(dotRects.data(), int(dotRects.size()));
        }
        line.clear();
    };
    for (qint64 i = first; i <= last; ++i) {
        const double v = series.y(i);
        if (!std::isfinite(v)) {
            flush();
            continue;
        }
        const QPointF p(mapX(double(i)), mapY(v));
        const QRgb rgb = rgbAt(i);
        if (!line.isEmpty() && rgb != lineRgb) {
            line << p; // the old colour runs up to the first point in the new one
            flush();
        }
        lineRgb = rgb;
        line << p;
    }
    flush();
}

QImage StripChart::toImage() const
{
    if (width() <= 0 || height() <= 0)
        return {};
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    paintChart(painter, size());
    // The labels that name the signals sit on the chart as child widgets.
    for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!child->isHidden())
            child->render(&painter, child->pos(), QRegion(), QWidget::DrawChildren);
    }
    return image;
}

bool StripChart::saveBmp(const QString &path, QString *error) const
{
    const auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    const QImage image = toImage();
    if (image.isNull())
        return fail(QStringLiteral("the chart has no size"));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(image))
        return fail(writer.errorString());
    buffer.close();

    return WriteFileAtomically(path, bytes, error);
}

// ---- time axis, cursor, panning and marks ----

void StripChart::setTimeline(const SampleTimeline *timeline)
{
    timeline_ = timeline;
    markDirty();
}

void StripChart::setTimeAxis(bool seconds)
{
    timeAxis_ = seconds;
    markDirty();
}

void StripChart::setMarker(std::optional<qint64> index)
{
    marker_ = index;
    markDirty();
}

void StripChart::setLevelLine(std::optional<double> level)
{
    level_ = level && std::isfinite(*level) ? level : std::nullopt;
    markDirty();
}

void StripChart::setCursorIndex(std::optional<qint64> index)
{
    const qint64 n = pointCount();
    std::optional<qint64> c;
    if (index && n > 0)
        c = std::clamp<qint64>(*index, 0, n - 1);
    if (c != cursor_) {
        cursor_ = c;
        update();
    }
}

QStringList StripChart::cursorReadout() const
{
    if (!cursor_)
        return {};
    return readoutLines(*this, *cursor_);
}

void StripChart::paintCursor(QPainter &painter, const Layout &l) const
{
    if (!cursor_ || l.plot.isEmpty())
        return;
    std::vector<QColor> colours;
    const QStringList lines = readoutLines(*this, *cursor_, &colours);
    const QRectF &plot = l.plot;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(labelFont_);
    const QFontMetrics fm(labelFont_);

    const double x = l.mapX(double(*cursor_));
    if (x >= plot.left() && x <= plot.right()) {
        painter.setPen(QPen(CursorColour, 0));
        painter.drawLine(QLineF(x, plot.top(), x, plot.bottom()));
    }

    // The box goes to the top corner on the other side from the line (and so from the mouse),
    // below any signal name sitting on the chart over the same columns.
    int textWidth = 0;
    for (const QString &line : lines)
        textWidth = std::max(textWidth, fm.horizontalAdvance(line));
    const double w = textWidth + 8;
    const double h = double(lines.size()) * fm.height() + 6;
    const double bx = x < plot.center().x() ? plot.right() - w - 4 : plot.left() + 4;
    double by = plot.top() + 4;
    for (const QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const QRect g = child->geometry();
        if (!child->isHidden() && g.right() >= bx && g.left() <= bx + w && g.top() < plot.center().y())
            by = std::max(by, double(g.bottom()) + 3);
    }
    const QRectF box(bx, by, w, h);
    painter.fillRect(box, ReadoutFill);
    painter.setPen(FrameColour);
    painter.drawRect(box);
    for (qsizetype k = 0; k < lines.size(); ++k) {
        painter.setPen(colours[size_t(k)]);
        painter.drawText(QRectF(bx + 4, by + 3 + double(k) * fm.height(), textWidth, fm.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, lines[k]);
    }
    painter.restore();
}

void StripChart::moveCursorTo(const QPointF &pos)
{
    const Layout l = layout(size());
    const qint64 n = pointCount();
    std::optional<qint64> c;
    if (n > 0 && l.plot.contains(pos)) {
        const double x = l.xr.lo + (pos.x() - l.plot.left()) / l.plot.width() * (l.xr.hi - l.xr.lo);
        c = qint64(std::clamp(std::round(x), 0.0, double(n - 1)));
    }
    if (c == cursor_)
        return;
    cursor_ = c;
    update();
    emit cursorMoved(c.value_or(-1));
}

void StripChart::setPanEnabled(bool on)
{
    panEnabled_ = on;
    if (!on && dragX_) {
        dragX_.reset();
        unsetCursor();
    }
}

bool StripChart::panBy(double delta)
{
    const qint64 n = pointCount();
    if (n == 0 || delta == 0 || !std::isfinite(delta))
        return false;
    const ValueSpan r = horizontal_.range();
    const double width = r.hi - r.lo;
    const double last = double(n - 1);
    // Bounds of the window's left end: 0..last - width when it is narrower than the run,
    // last - width..0 when wider.
    const double lowest = std::min(0.0, last - width);
    const double highest = std::max(0.0, last - width);
    double lo = r.lo;
    if (delta < 0) {
        lo = std::max(r.lo + delta, lowest);
        if (!(lo < r.lo))
            return false;
    } else {
        lo = std::min(r.lo + delta, highest);
        if (!(lo > r.lo))
            return false;
    }
    if (!horizontal_.fix(lo, lo + width))
        return false;
    emit panned();
    return true;
}

void StripChart::mousePressEvent(QMouseEvent *event)
{
    if (panEnabled_ && event->button() == Qt::LeftButton && plotRect().contains(event->position())) {
        dragX_ = event->position().x();
        setCursor(Qt::ClosedHandCursor);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void StripChart::mouseMoveEvent(QMouseEvent *event)
{
    if (dragX_) {
        const Layout l = layout(size());
        const double dx = event->position().x() - *dragX_;
        if (dx != 0 && !l.plot.isEmpty()) {
            // The points follow the mouse: a drag to the right shows earlier ones.
            panBy(-dx / l.plot.width() * (l.xr.hi - l.xr.lo));
            dragX_ = event->position().x();
        }
    }
    moveCursorTo(event->position());
    event->accept();
}

void StripChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (dragX_ && event->button() == Qt::LeftButton) {
        dragX_.reset();
        unsetCursor();
        moveCursorTo(event->position()); // released off the plot: the cursor goes
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void StripChart::wheelEvent(QWheelEvent *event)
{
    const QPoint angle = event->angleDelta();
    const int turn = angle.y() != 0 ? angle.y() : angle.x();
    if (!panEnabled_ || turn == 0 || !plotRect().contains(event->position())) {
        event->ignore();
        return;
    }
    // A notch is 120; turning away from the user (or tilting left) goes to earlier points.
    const ValueSpan r = horizontal_.range();
    panBy(-turn / 120.0 * (r.hi - r.lo) / 10);
    moveCursorTo(event->position());
    event->accept();
}

void StripChart::leaveEvent(QEvent *event)
{
    if (cursor_ && !dragX_) {
        cursor_.reset();
        update();
        emit cursorMoved(-1);
    }
    QWidget::leaveEvent(event);
}

} // namespace velmora
