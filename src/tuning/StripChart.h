#pragma once

#include <QColor>
#include <QImage>
#include <QRgb>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QMouseEvent;
class QPainter;
class QRectF;
class QTimer;
class QWheelEvent;

namespace velmora {

class StripChart;
class SampleTimeline;

// The lowest and highest of a set of values; empty (lo > hi) when the set holds no finite value.
struct ValueSpan {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    bool isEmpty() const { return lo > hi; }
    void add(double v);
    void add(const ValueSpan &other);
};

// One series of a strip chart. Point i has X = i and the Y given when it was appended, so only
// Y is stored: single-precision values (a drive signal has at most seven significant digits)
// in fixed blocks that are never moved or trimmed until clear(), which keeps appends cheap at
// a million points; the newest value is also kept exactly, so lastY() is what was appended.
// Beside them sits a small pyramid of lowest/highest values per 64 points, per 64 of those
// and so on, so the extremes of any index range
// (the visible window, one pixel column) cost a few hundred steps however long the run.
// Colours are kept as runs, so a series drawn in one colour stores it once.
// Non-finite values are stored (count and X stay honest) but neither drawn nor counted in
// extremes.
class StripSeries {
public:
    const QString &name() const { return name_; }
    // What the cursor readout calls the series (the signal it shows); the name until set.
    const QString &title() const { return title_.isEmpty() ? name_ : title_; }
    void setTitle(const QString &title);
    // The colour append(y) uses.
    QColor color() const { return QColor::fromRgb(color_); }
    void setColor(const QColor &color) { color_ = color.rgb(); }

    // Adds a point at X = count() and returns that X; the chart repaints on its next tick.
    qint64 append(double y, const QColor &color) { return appendRgb(y, color.rgb()); }
    qint64 append(double y) { return appendRgb(y, color_); }
    // Removes every point and gives their memory back.
    void clear();

    qint64 count() const { return count_; }
    // Empty when the series holds no point.
    std::optional<qint64> lastX() const;
    std::optional<double> lastY() const;
    // Point i's value and colour, 0 <= i < count() (for a value table over the same data).
    // Stored in single precision: a signal value has at most seven significant digits.
    double y(qint64 i) const { return blocks_[size_t(i >> BlockShift)][size_t(i & BlockMask)]; }
    QColor colorAt(qint64 i) const;

    // Extremes of the finite values of points first..last, clipped to the stored points.
    ValueSpan span(qint64 first, qint64 last) const;
    // Extremes of all stored finite values, kept as points come in.
    ValueSpan span() const { return all_; }

    // Bytes the series holds on the heap, by capacity.
    qint64 memoryBytes() const;

private:
    friend class StripChart;
    StripSeries(StripChart *chart, const QString &name, QRgb color);

    static constexpr int BlockShift = 10; // 1024 values, 8 KiB a block
    static constexpr qint64 BlockSize = qint64(1) << BlockShift;
    static constexpr qint64 BlockMask = BlockSize - 1;
    static constexpr int Fan = 64; // points per summary entry, entries per next-level entry

    struct ColorRun {
        qint64 first; // index of the first point in this colour
        QRgb rgb;
    };

    qint64 appendRgb(double y, QRgb rgb);
    size_t runIndexAt(qint64 i) const;

    StripChart *chart_;
    QString name_;
    QString title_;
    QRgb color_;
    qint64 count_ = 0;
    std::vector<std::unique_ptr<float[]>> blocks_;
    double last_ = 0; // the newest value exactly as appended
    // levels_[k][j] spans points [j * Fan^(k+1), (j+1) * Fan^(k+1)).
    std::vector<std::vector<ValueSpan>> levels_;
    std::vector<ColorRun> runs_;
    ValueSpan all_;
};

// One axis of a strip chart. Fixed, it shows minimum()..maximum() as set; automatic, it follows
// the data (see StripChart) and minimum()/maximum() report the range it shows at that moment.
//
// Limit test of scroll(): the largest and smallest values the chart's series show on the axis
// are, for the horizontal axis, the largest last X of the series and 0 (the first X); for the
// vertical axis, the extremes of the finite Y values of the points whose X lies inside the
// horizontal axis' present range, over all series. A value outside the visible window never
// pulls the vertical axis along: an old spike would otherwise let every later step scroll.
class StripAxis {
public:
    Qt::Orientation orientation() const { return orientation_; }

    bool automatic() const { return automatic_; }
    // Both ends at once. Switching off fixes the axis at the range it shows at that moment.
    void setAutomatic(bool on);

    double minimum() const;
    double maximum() const;
    // Setting an end fixes the axis (automatic scaling goes off, the other end staying where it
    // is shown). A value that would put the minimum above the maximum, or one that is not finite,
    // is refused: the call returns false and nothing changes.
    bool setMinimum(double value);
    bool setMaximum(double value);
    bool setRange(double minimum, double maximum);

    // Moves both ends by offset and fixes the axis, subject to the limit test above: a positive
    // offset only when the largest shown value lies above the maximum, a negative one only when
    // the smallest lies below the minimum. Returns whether the axis moved (offset 0, a
    // non-finite offset or a failed test: false, nothing changes). An automatic axis already
    // shows every value the test looks at, so it never scrolls.
    bool scroll(double offset);

private:
    friend class StripChart;
    StripAxis(StripChart *chart, Qt::Orientation orientation, double minimum, double maximum);
    ValueSpan range() const;
    bool fix(double minimum, double maximum);

    StripChart *chart_;
    Qt::Orientation orientation_;
    bool automatic_ = false;
    double min_;
    double max_;
};

// A strip chart of up to four series on one horizontal (sample number) and one vertical axis.
// A new chart is 554 x 232 with fixed axes, horizontal -50 to 0 and vertical -100 to 100.
// It draws only the visible window, straight from the series' storage: a line through the
// points (with a dot at each while they are at least a few pixels apart), or, when the window
// holds more points than the plot is wide, one stroke per pixel column from its lowest to its
// highest value, so a repaint costs about the same at a thousand points and at a million.
// Appends and axis changes only mark the chart dirty; a timer repaints at most 25 times a second.
//
// Automatic scaling: the horizontal axis spans 0 to the largest last X; the vertical axis spans
// the values shown in the horizontal window plus a twentieth of that span above and below. A
// flat signal gets max(1, |value| / 20) either side. With nothing to show, an automatic axis
// shows its last set range.
// Like any widget, the chart, its series and axes belong to the user-interface thread.
class StripChart : public QWidget {
    Q_OBJECT

public:
    static constexpr int MaxSeries = 4;
    static constexpr int RepaintIntervalMs = 40;

    explicit StripChart(QWidget *parent = nullptr);
    ~StripChart() override;

    // Null once MaxSeries series exist. The chart owns the series.
    StripSeries *addSeries(const QString &name, const QColor &color);
    int seriesCount() const { return int(series_.size()); }
    StripSeries *series(int i) const;

    StripAxis &horizontalAxis() { return horizontal_; }
    StripAxis &verticalAxis() { return vertical_; }
    const StripAxis &horizontalAxis() const { return horizontal_; }
    const StripAxis &verticalAxis() const { return vertical_; }

    // The chart at its on-screen size, with the labels placed on it.
    QImage toImage() const;
    // Writes toImage() as a Windows bitmap file; on failure the file at path is left as it was.
    bool saveBmp(const QString &path, QString *error = nullptr) const;

    // The chart face alone, at the given size.
    void paintChart(QPainter &painter, const QSize &size) const;

    // Bytes the series hold on the heap, by capacity.
    qint64 memoryBytes() const;
    // True from an append or axis change until the repaint timer hands it to the widget.
    bool isDirty() const { return dirty_; }

    QSize sizeHint() const override { return {554, 232}; }

    // ---- time, cursor, panning and marks ----

    // The arrival times and request numbers of the points (point i of every series is
    // sample i of the timeline); null for none. The chart does not own it.
    void setTimeline(const SampleTimeline *timeline);
    const SampleTimeline *timeline() const { return timeline_; }
    // Horizontal labels in seconds (from the timeline) instead of sample numbers. The axis
    // itself stays in point indices, so following, Zoom and Auto work as before. The grid lines
    // then sit at round times (placed at the index where the timeline reaches them) and the
    // last label carries an "s". With no timeline, an empty one or a window whose times do not
    // advance, the labels are sample numbers.
    void setTimeAxis(bool seconds);
    bool timeAxis() const { return timeAxis_; }

    // The horizontal grid labels at the present size: the X (point index) each sits at and its
    // text, left to right.
    std::vector<std::pair<double, QString>> horizontalLabels() const;
    // The plot area at the present size, in widget coordinates; empty when the chart is too
    // small to draw one.
    QRectF plotRect() const;

    // The readout cursor: a vertical line at a stored point with a box naming the point
    // (its request number and time where a timeline is set) and each series' value there.
    // The mouse moves it to the point nearest under it while over the plot; moving off the plot
    // or leaving the chart hides it. It is drawn on screen only: toImage() and saveBmp() show
    // the signals without it. Clearing the series hides it once no point is left at its index.
    std::optional<qint64> cursorIndex() const { return cursor_; }
    // Clamped to the stored points; nullopt (or no point stored) hides it. Does not emit
    // cursorMoved(), so a window can mirror one chart's cursor on another.
    void setCursorIndex(std::optional<qint64> index);
    // The lines of the readout box as drawn: the point first ("#request  seconds s" with a
    // timeline, "#index" without), then "title: value" for each series holding the point
    // ("-" for a value that is not finite). Empty while the cursor is hidden.
    QStringList cursorReadout() const;

    // Dragging the plot or turning the wheel over it moves the horizontal window (fixing the
    // axis) across the stored points; on by default. A drag moves the points with the mouse
    // (dragging right shows earlier points); a wheel notch moves a tenth of the window, away
    // from the user (or tilted left) towards earlier points. Switched off, the chart leaves the
    // wheel to its parent.
    void setPanEnabled(bool on);
    bool panEnabled() const { return panEnabled_; }
    // Moves the horizontal window by delta points as a drag would and emits panned(). Returns
    // whether it moved (no point stored: never). The window keeps its width and stays over
    // the stored points 0..last: one narrower than that run stays within it (from starting at
    // point 0 to ending at the newest point); a wider one keeps the whole run in view. A move
    // stops at that bound and never goes the other way, so a window that lies beyond a bound
    // (a live window running ahead of the data) can still be moved back towards the points.
    bool panBy(double delta);

    // A dashed vertical line at a point (a trigger) and a dashed horizontal line at a level;
    // nullopt removes it.
    void setMarker(std::optional<qint64> index);
    std::optional<qint64> marker() const { return marker_; }
    void setLevelLine(std::optional<double> level);
    std::optional<double> levelLine() const { return level_; }

signals:
    // The cursor moved to a point, or left (-1).
    void cursorMoved(qint64 index);
    // The user moved the horizontal window (drag, wheel or panBy()).
    void panned();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    friend class StripSeries;
    friend class StripAxis;
    struct Layout;

    void markDirty();
    void repaintTick();
    void seriesCleared();
    ValueSpan shownX() const;
    ValueSpan shownY() const;
    // Points stored in the longest series.
    qint64 pointCount() const;
    Layout layout(const QSize &size) const;
    void paintFace(QPainter &painter, const Layout &layout) const;
    void paintSeries(QPainter &painter, const StripSeries &series, const QRectF &plot,
                     const ValueSpan &xr, const ValueSpan &yr) const;
    void paintCursor(QPainter &painter, const Layout &layout) const;
    void moveCursorTo(const QPointF &pos);

    std::vector<std::unique_ptr<StripSeries>> series_;
    StripAxis horizontal_;
    StripAxis vertical_;
    QTimer *repaintTimer_;
    bool dirty_ = false;
    QFont labelFont_;
    const SampleTimeline *timeline_ = nullptr;
    bool timeAxis_ = false;
    std::optional<qint64> cursor_;
    bool panEnabled_ = true;
    std::optional<double> dragX_; // the mouse's last X while a pan drag is under way
    std::optional<qint64> marker_;
    std::optional<double> level_;
};

} // namespace velmora
