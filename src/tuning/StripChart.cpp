#include "tuning/StripChart.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImageWriter>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "params/AtomicFile.h"

namespace velmora {

namespace {

const QColor FaceColour(24, 24, 24);
const QColor PlotColour(0, 0, 0);
const QColor GridColour(64, 64, 64);
const QColor FrameColour(128, 128, 128);
const QColor LabelColour(200, 200, 200);

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

void StripChart::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintChart(painter, size());
}

void StripChart::paintChart(QPainter &painter, const QSize &size) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), size), FaceColour);
    painter.setFont(labelFont_);
    const QFontMetrics fm(labelFont_);

    const ValueSpan xr = drawable(horizontal_.range());
    const ValueSpan yr = drawable(vertical_.range());

    const int top = fm.height() / 2 + 4;
    const int bottom = size.height() - fm.height() - 6;
    const std::vector<double> yGrid = gridValues(yr, std::max(1, (bottom - top) / 28));
    int labelWidth = 0;
    for (double v : yGrid)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(gridLabel(v)));
    const int left = labelWidth + 8;
    const int xLabelWidth = std::max(fm.horizontalAdvance(gridLabel(xr.lo)), fm.horizontalAdvance(gridLabel(xr.hi)));
    const int right = size.width() - xLabelWidth / 2 - 6;
    if (right - left < 4 || bottom - top < 4) {
        painter.restore();
        return;
    }
    const QRectF plot(left, top, right - left, bottom - top);
    const std::vector<double> xGrid = gridValues(xr, std::max(1, int(plot.width()) / (xLabelWidth + 24)));

    painter.fillRect(plot, PlotColour);
    const auto mapX = [&](double x) { return plot.left() + (x - xr.lo) / (xr.hi - xr.lo) * plot.width(); };
    const auto mapY = [&](double y) { return plot.bottom() - (y - yr.lo) / (yr.hi - yr.lo) * plot.height(); };

    painter.setPen(GridColour);
    for (double v : yGrid)
        painter.drawLine(QLineF(plot.left(), mapY(v), plot.right(), mapY(v)));
    for (double v : xGrid)
        painter.drawLine(QLineF(mapX(v), plot.top(), mapX(v), plot.bottom()));

    painter.setPen(LabelColour);
    for (double v : yGrid) {
        const QRectF box(0, mapY(v) - fm.height() / 2.0, left - 5, fm.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, gridLabel(v));
    }
    for (double v : xGrid) {
        const QRectF box(mapX(v) - 60, plot.bottom() + 3, 120, fm.height());
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop, gridLabel(v));
    }

    painter.save();
    painter.setClipRect(plot);
    for (const auto &series : series_)
        paintSeries(painter, *series, plot, xr, yr);
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

// ---- stubs, replaced by the real cursor, panning and time axis ----

void StripSeries::setTitle(const QString &title)
{
    title_ = title;
}

void StripChart::setTimeline(const SampleTimeline *timeline) { timeline_ = timeline; markDirty(); }
void StripChart::setTimeAxis(bool seconds) { timeAxis_ = seconds; markDirty(); }
void StripChart::setCursorIndex(std::optional<qint64> index) { cursor_ = index; markDirty(); }
QStringList StripChart::cursorReadout() const { return {}; }
void StripChart::setPanEnabled(bool on) { panEnabled_ = on; }
bool StripChart::panBy(double) { return false; }
void StripChart::setMarker(std::optional<qint64> index) { marker_ = index; markDirty(); }
void StripChart::setLevelLine(std::optional<double> level) { level_ = level; markDirty(); }

} // namespace velmora
