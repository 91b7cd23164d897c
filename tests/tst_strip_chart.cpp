// The strip chart: series storage and extremes, the axes' limits and limit test, automatic
// scaling, drawing of dense windows, the repaint timer and saving as a bitmap file; labels in
// seconds, the readout cursor, panning with mouse and wheel, and the marker and level lines.
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "tuning/ChartCapture.h"
#include "tuning/ChartOps.h"
#include "tuning/SampleTimeline.h"
#include "tuning/StripChart.h"

using namespace velmora;

namespace {

const QColor Lime(0, 255, 0);
const QColor Yellow(255, 255, 0);

struct Rig {
    StripChart chart;
    StripSeries *s1 = chart.addSeries("Series1", Lime);
    StripSeries *s2 = chart.addSeries("Series2", Yellow);
    StripAxis &x = chart.horizontalAxis();
    StripAxis &y = chart.verticalAxis();
};

// Whether rows y0..y1 of column x hold the colour.
bool columnHas(const QImage &img, int x, int y0, int y1, const QColor &c)
{
    for (int y = y0; y <= y1; ++y)
        if (img.pixelColor(x, y) == c)
            return true;
    return false;
}

// The widget X of a point index at the chart's present axes.
double pixelOf(const StripChart &chart, double x)
{
    const QRectF plot = chart.plotRect();
    const double lo = chart.horizontalAxis().minimum();
    const double hi = chart.horizontalAxis().maximum();
    return plot.left() + (x - lo) / (hi - lo) * plot.width();
}

void sendMouse(StripChart &chart, QEvent::Type type, QPointF pos, Qt::MouseButtons held = Qt::NoButton)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, pos, chart.mapToGlobal(pos), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&chart, &e);
}

// A left-button drag from the plot's centre through the given horizontal offsets.
void drag(StripChart &chart, std::initializer_list<double> offsets)
{
    const QPointF from = chart.plotRect().center();
    sendMouse(chart, QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (double dx : offsets)
        sendMouse(chart, QEvent::MouseMove, from + QPointF(dx, 0), Qt::LeftButton);
    sendMouse(chart, QEvent::MouseButtonRelease, from + QPointF(*std::prev(offsets.end()), 0));
}

void hover(StripChart &chart, double x)
{
    sendMouse(chart, QEvent::MouseMove, {pixelOf(chart, x), chart.plotRect().center().y()});
}

// Whether the wheel event was taken.
bool turnWheel(StripChart &chart, QPoint angle)
{
    const QPointF pos = chart.plotRect().center();
    QWheelEvent e(pos, chart.mapToGlobal(pos), {}, angle, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&chart, &e);
    return e.isAccepted();
}

// Whether any pixel of columns x-1..x+1 (rows y0..y1) holds the colour.
bool nearColumnHas(const QImage &img, double x, int y0, int y1, const QColor &c)
{
    const int col = int(std::lround(x));
    return columnHas(img, col - 1, y0, y1, c) || columnHas(img, col, y0, y1, c) || columnHas(img, col + 1, y0, y1, c);
}

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class TestStripChart : public QObject {
    Q_OBJECT
private slots:
    // Request numbers survive gaps; time and index map onto each other, also past the ends.
    void timelineNumbersAndTimes()
    {
        SampleTimeline t;
        QCOMPARE(t.missedRequests(), 0);
        const qint64 requests[] = {2, 3, 4, 7, 8, 20};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(t.append(0.01 * requests[i], requests[i]), qint64(i));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(t.request(i), requests[i]);
        QCOMPARE(t.missedRequests(), 14);
        // A request number that does not rise, or a time that goes back, is kept in order.
        t.append(0.05, 20);
        QCOMPARE(t.request(6), qint64(21));
        QCOMPARE(t.time(6), 0.2);
        QCOMPARE(t.timeAt(3.5), 0.075);
        QCOMPARE(t.indexAt(0.075), 3.5);
        QVERIFY(qFuzzyCompare(t.indexAt(t.timeAt(-4)), -4.0));
        QVERIFY(qFuzzyCompare(t.indexAt(t.timeAt(10)), 10.0));
        t.clear();
        QCOMPARE(t.count(), 0);
        QCOMPARE(t.append(1.0, 1), 0);
        QCOMPARE(t.request(0), 1);
    }

    // Level crossings in both directions, the pre-trigger rule, repeat and single shot, and
    // an alarm trigger that ignores unread points.
    void captureTriggers()
    {
        const auto feed = [](ChartCapture &c, long long i, double v, int alarm = -1) {
            return c.onPoint(i, {v, 0, 0, 0}, alarm);
        };
        ChartCapture c;
        TriggerSettings rising;
        rising.level = 10;
        rising.pre = 3;
        rising.post = 2;
        c.arm(rising, 0);
        // Crossing at point 1: fewer than three points before it, so not taken.
        QVERIFY(!feed(c, 0, 0) && !feed(c, 1, 20) && !feed(c, 2, 0));
        QCOMPARE(c.state(), ChartCapture::State::Armed);
        QVERIFY(!feed(c, 3, 10)); // reaching the level from below is a crossing
        QCOMPARE(c.pendingTrigger(), std::optional<long long>(3));
        QVERIFY(!feed(c, 4, 0));
        QVERIFY(feed(c, 5, 0));
        QCOMPARE(c.captured()->first, 0);
        QCOMPARE(c.captured()->last, 5);
        QCOMPARE(c.state(), ChartCapture::State::Captured);
        QVERIFY(!feed(c, 6, 0) && !feed(c, 7, 50)); // single shot: nothing more

        TriggerSettings falling = rising;
        falling.edge = TriggerSettings::Edge::Falling;
        falling.singleShot = false;
        falling.post = 0;
        c.arm(falling, 10);
        QVERIFY(!feed(c, 8, 50) && !feed(c, 9, 0)); // before the arming point
        QVERIFY(!feed(c, 10, 50));
        QVERIFY(!feed(c, 11, std::nan("")) && !feed(c, 12, 50)); // a gap is no crossing
        QVERIFY(feed(c, 13, 9));
        QCOMPARE(c.captured()->trigger, 13);
        QCOMPARE(c.state(), ChartCapture::State::Armed); // repeat: armed for the next one
        QVERIFY(!feed(c, 14, 5));
        QVERIFY(!feed(c, 15, 50) && feed(c, 16, 1));
        QCOMPARE(c.captured()->trigger, 16);

        TriggerSettings alarm;
        alarm.source = TriggerSettings::Source::Alarm;
        alarm.pre = 0;
        alarm.post = 1;
        c.arm(alarm, 0);
        QVERIFY(c.watchesAlarm());
        QVERIFY(!feed(c, 0, 0, 2)); // an alarm already present when armed is no change
        QVERIFY(!feed(c, 1, 0, 0) && !feed(c, 2, 0, -1) && !feed(c, 3, 0, 5));
        QCOMPARE(c.pendingTrigger(), std::optional<long long>(3));
        QVERIFY(feed(c, 4, 0, -1));
        QVERIFY(!c.watchesAlarm());
        c.reset();
        QVERIFY(!c.captured());
    }

    // Following from a stale previous value finds the signal again; "follow both" widens
    // for two signals further apart than the axis is high.
    void followingFindsTheSignal()
    {
        StripChart chart;
        StripSeries *a = chart.addSeries(QStringLiteral("a"), Qt::green);
        StripSeries *b = chart.addSeries(QStringLiteral("b"), Qt::yellow);
        double previous = 500; // from an earlier run
        bool recentre = false;
        a->append(-500);
        b->append(2000);
        FollowVertically(chart, *a, previous, true, recentre);
        QCOMPARE(chart.verticalAxis().minimum(), -600.0); // the step alone would give -1100..-900
        QCOMPARE(chart.verticalAxis().maximum(), -400.0);
        QVERIFY(KeepBothInView(chart, *a, *b));
        QVERIFY(chart.verticalAxis().minimum() < -500 && chart.verticalAxis().maximum() > 2000);
        // Off: the axis stays wherever the signal goes, the previous value follows.
        chart.verticalAxis().setRange(-100, 100);
        a->append(300);
        FollowVertically(chart, *a, previous, false, recentre);
        QCOMPARE(chart.verticalAxis().maximum(), 100.0);
        QCOMPARE(previous, 300.0);
    }

    void emptyChartIsSafe()
    {
        Rig r;
        QVERIFY(r.chart.addSeries("3", Lime) && r.chart.addSeries("4", Lime));
        QVERIFY(!r.chart.addSeries("5", Lime));
        QVERIFY(!r.s1->lastX() && !r.s1->lastY());
        // Zoom and Auto before the first sample: switches, then a step that finds no point.
        r.y.setAutomatic(true);
        r.x.setAutomatic(true);
        QCOMPARE(r.y.minimum(), -100.0); // nothing shown: the range last set
        QCOMPARE(r.x.maximum(), 0.0);
        QVERIFY(!r.y.scroll(10) && !r.y.scroll(-10) && !r.x.scroll(1) && !r.x.scroll(-1));
        QVERIFY(r.y.automatic());
        QVERIFY(!r.chart.toImage().isNull());
    }

    void appendCountLastClear()
    {
        Rig r;
        QCOMPARE(r.s1->append(0.1), 0);
        QCOMPARE(r.s1->append(-2.5, Qt::red), 1);
        QCOMPARE(r.s1->append(65531), 2);
        QCOMPARE(*r.s1->lastX(), 2);
        QCOMPARE(*r.s1->lastY(), 65531.0);
        QCOMPARE(r.s1->y(0), double(0.1f)); // stored in single precision
        r.s1->append(0.1);
        QCOMPARE(*r.s1->lastY(), 0.1); // the newest exactly, for the window's "exactly at the middle"
        QCOMPARE(r.s1->colorAt(1), QColor(Qt::red));
        QCOMPARE(r.s1->colorAt(2), Lime);

        r.s1->clear();
        QVERIFY(!r.s1->lastY());
        QVERIFY(r.s1->span().isEmpty());
        QCOMPARE(r.s1->memoryBytes(), 0);
        QCOMPARE(r.s1->append(7), 0);
    }

    void spanMatchesScan()
    {
        // Rising, falling, and noise with rare spikes of random height: a range's extremes sit at
        // its ends or at one spike anywhere inside, so a summary entry missed anywhere shows.
        Rig r;
        StripSeries *s3 = r.chart.addSeries("3", Lime);
        const StripSeries *series[3] = {r.s1, r.s2, s3};
        QRandomGenerator rng(840);
        const qint64 n = 300000;
        std::vector<double> values[3];
        for (qint64 i = 0; i < n; ++i) {
            double spiky = i % 9973 == 5 ? qQNaN() : rng.bounded(2.0);
            if (rng.bounded(500) == 0)
                spiky = (rng.bounded(2) ? 1 : -1) * (1e6 + rng.bounded(1e6));
            const double v[3] = {i + rng.bounded(0.5), -double(i), spiky};
            for (int k = 0; k < 3; ++k) {
                values[k].push_back(double(float(v[k]))); // as stored
                r.chart.series(k)->append(v[k]);
            }
        }
        std::vector<std::pair<qint64, qint64>> ranges = {
            {-5, n + 5}, {63, 64}, {1023, 1025}, {64, 4095}, {4095, 4097}, {1, 262143}, {100, 50}, {n, n + 10}};
        for (int k = 0; k < 300; ++k) {
            const qint64 a = rng.bounded(int(n));
            ranges.push_back({a, a + rng.bounded(int(n - a))});
        }
        for (int k = 0; k < 3; ++k) {
            for (const auto &[a, b] : ranges) {
                ValueSpan want;
                for (qint64 i = std::max<qint64>(a, 0); i <= std::min(b, n - 1); ++i)
                    want.add(values[k][size_t(i)]);
                const ValueSpan got = series[k]->span(a, b);
                QVERIFY2(got.lo == want.lo && got.hi == want.hi, qPrintable(QString("%1: %2..%3").arg(k).arg(a).arg(b)));
            }
        }
    }

    void limitsAreRefusedWithoutChange()
    {
        Rig r;
        QVERIFY(!r.y.setMinimum(101));
        QVERIFY(!r.y.setMaximum(-101));
        QVERIFY(!r.y.setRange(5, 1));
        QVERIFY(!r.y.setMinimum(qQNaN()));
        QCOMPARE(r.y.minimum(), -100.0);
        QCOMPARE(r.y.maximum(), 100.0);
        QVERIFY(r.y.setMinimum(100)); // equal ends are allowed

        // Under automatic scaling a refused setting leaves it on; an accepted one fixes the axis
        // with the other end where it was shown.
        for (int i = 0; i < 10; ++i)
            r.s1->append(i * 10);
        QVERIFY(r.x.setRange(0, 9));
        r.y.setAutomatic(true);
        QCOMPARE(r.y.maximum(), 94.5);
        QVERIFY(!r.y.setMinimum(95));
        QVERIFY(r.y.automatic());
        QVERIFY(r.y.setMinimum(20));
        QVERIFY(!r.y.automatic());
        QCOMPARE(r.y.maximum(), 94.5);
    }

    void clearSequenceFromScrolledAxis_data()
    {
        QTest::addColumn<double>("offset");
        QTest::newRow("400..600") << 500.0;
        QTest::newRow("-600..-400") << -500.0;
    }
    void clearSequenceFromScrolledAxis()
    {
        QFETCH(double, offset);
        Rig r;
        r.s1->append(offset * 2);
        QVERIFY(r.y.scroll(offset));
        QCOMPARE(r.y.minimum(), offset - 100);
        QCOMPARE(r.y.maximum(), offset + 100);

        r.s1->clear();
        r.y.setAutomatic(false);
        QVERIFY(r.y.setMaximum(std::abs(r.y.minimum()) + 1));
        QVERIFY(r.y.setMinimum(-100));
        QVERIFY(r.y.setMaximum(100));
        QCOMPARE(r.y.minimum(), -100.0);
    }

    void horizontalLimitTest()
    {
        Rig r;
        QVERIFY(!r.x.scroll(0));
        r.s1->append(1);
        QVERIFY(!r.x.scroll(1)); // last X 0 is not beyond the maximum 0
        r.s1->append(1);
        QVERIFY(r.x.scroll(1));
        QCOMPARE(r.x.minimum(), -49.0);
        QCOMPARE(r.x.maximum(), 1.0);
        QVERIFY(!r.x.scroll(-1)); // X 0 is not below -49
        r.s2->append(1), r.s2->append(1), r.s2->append(1);
        QVERIFY(r.x.scroll(1)); // the longest series counts
        QVERIFY(r.x.setRange(10, 60));
        QVERIFY(r.x.scroll(-4));
        QCOMPARE(r.x.minimum(), 6.0);
    }

    void verticalLimitTestUsesShownPoints()
    {
        Rig r;
        QVERIFY(r.x.setRange(0, 10));
        r.s1->append(50);
        QVERIFY(!r.y.scroll(10));
        QVERIFY(!r.y.scroll(-10));
        r.s2->append(150); // the other series counts too
        QVERIFY(r.y.scroll(50));
        QCOMPARE(r.y.maximum(), 150.0);
        r.s1->append(-80);
        QVERIFY(r.y.scroll(-5));
        QCOMPARE(r.y.minimum(), -55.0);

        // Out of the horizontal window, a point no longer pulls the axis.
        r.s1->clear();
        r.s2->clear();
        QVERIFY(r.y.setRange(-100, 100));
        r.s1->append(1000);
        r.s1->append(0);
        QVERIFY(r.x.setRange(1, 10));
        QVERIFY(!r.y.scroll(100));
        QVERIFY(r.x.setRange(0, 10));
        QVERIFY(r.y.scroll(100));

        // Values that are not finite count for nothing.
        r.s1->clear();
        r.s1->append(qInf());
        r.s1->append(qQNaN());
        QVERIFY(!r.y.scroll(1e6));
        // An automatic axis shows everything there is, so it never scrolls.
        r.s1->append(5000);
        r.y.setAutomatic(true);
        QVERIFY(!r.y.scroll(1));
        QVERIFY(r.y.automatic());
    }

    void automaticScaling()
    {
        Rig r;
        for (int i = 0; i < 100; ++i)
            r.s1->append(i * 2);
        r.s2->append(-1000); // X 0, left of the window
        QVERIFY(r.x.setRange(50, 99));
        r.y.setAutomatic(true);
        QCOMPARE(r.y.minimum(), 100 - 4.9);
        QCOMPARE(r.y.maximum(), 198 + 4.9);
        QVERIFY(r.x.setRange(100, 150)); // nothing shown: the range last set
        QCOMPARE(r.y.maximum(), 100.0);
        r.x.setAutomatic(true);
        QCOMPARE(r.x.maximum(), 99.0);
        QCOMPARE(r.y.minimum(), -1000 - 59.9);

        // Flat signals get room either side.
        r.s1->clear();
        r.s2->clear();
        r.s1->append(3000);
        r.s1->append(3000);
        QCOMPARE(r.y.minimum(), 2850.0);
        QCOMPARE(r.y.maximum(), 3150.0);
        r.s1->clear();
        r.s1->append(0);
        QCOMPARE(r.y.maximum(), 1.0);
        // Switching off keeps what is shown.
        r.y.setAutomatic(false);
        r.s1->append(500);
        QCOMPARE(r.y.maximum(), 1.0);
    }

    void drawsPointsAndDenseWindows()
    {
        Rig r;
        for (int i = 0; i <= 50; ++i) {
            r.s1->append(50);
            r.s2->append(-50);
        }
        QVERIFY(r.x.setRange(0, 50));
        QImage img = r.chart.toImage();
        const int mid = img.width() / 2;
        const int h = img.height();
        QVERIFY(columnHas(img, mid, 0, h / 2 - 10, Lime));
        QVERIFY(!columnHas(img, mid, h / 2, h - 1, Lime));
        QVERIFY(columnHas(img, mid, h / 2, h - 1, Yellow));

        // Far more points than pixels, alternating: every column must still reach both values.
        r.s1->clear();
        r.s2->clear();
        for (int i = 0; i < 200000; ++i)
            r.s1->append(i % 2 ? 90 : -90);
        QVERIFY(r.x.setRange(0, 199999));
        img = r.chart.toImage();
        for (int x : {mid - 100, mid, mid + 100}) {
            QVERIFY(columnHas(img, x, 0, h / 4, Lime));
            QVERIFY(columnHas(img, x, h * 3 / 4 - 30, h - 1, Lime));
        }
    }

    void repaintsOnATimerNotPerSample()
    {
        Rig r;
        PaintCounter counter;
        r.chart.installEventFilter(&counter);
        r.chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&r.chart));
        QTRY_VERIFY(!r.chart.isDirty());
        QCoreApplication::processEvents();
        counter.paints = 0;
        for (int i = 0; i < 5000; ++i) {
            r.s1->append(i);
            r.s2->append(-i);
        }
        QVERIFY(r.chart.isDirty());
        QTRY_VERIFY(!r.chart.isDirty());
        QTRY_VERIFY(counter.paints >= 1);
        QVERIFY(counter.paints <= 2);
    }

    void savesBitmap()
    {
        Rig r;
        for (int i = 0; i < 60; ++i)
            r.s1->append(i);
        auto *label = new QLabel("CMD Speed[RPM]", &r.chart);
        label->setStyleSheet("color: red");
        QTemporaryDir dir;
        const QString path = dir.filePath("chart1.bmp");
        QString error;
        QVERIFY2(r.chart.saveBmp(path, &error), qPrintable(error));

        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), QByteArray("bmp"));
        QCOMPARE(reader.size(), QSize(554, 232));
        const QImage saved = reader.read();
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), r.chart.toImage());
        bool labelShown = false; // the signal's name goes into the picture
        for (int y = 0; y < label->height(); ++y)
            for (int x = 0; x < label->width(); ++x)
                labelShown |= saved.pixelColor(x, y).red() > 200 && saved.pixelColor(x, y).green() < 80;
        QVERIFY(labelShown);

        const QString nowhere = dir.filePath("no/such/folder/chart.bmp");
        QVERIFY(!r.chart.saveBmp(nowhere, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(nowhere));
    }

    void timeAxisLabelsInSeconds()
    {
        Rig r;
        SampleTimeline timeline;
        for (int i = 0; i < 300; ++i) {
            timeline.append(12.0 + i * 0.01, i + 1); // 10 ms apart, from 12 s on
            r.s1->append(i);
        }
        QVERIFY(r.x.setRange(100, 200));
        const auto indexLabels = r.chart.horizontalLabels();
        QVERIFY(indexLabels.size() >= 3);
        for (const auto &[x, text] : indexLabels)
            QCOMPARE(text, QString::number(x));

        // Switched on without a timeline, or with an empty one, the labels stay sample numbers.
        r.chart.setTimeAxis(true);
        QCOMPARE(r.chart.horizontalLabels(), indexLabels);
        SampleTimeline empty;
        r.chart.setTimeline(&empty);
        QCOMPARE(r.chart.horizontalLabels(), indexLabels);

        r.chart.setTimeline(&timeline);
        const auto labels = r.chart.horizontalLabels();
        QVERIFY(labels.size() >= 3);
        bool fraction = false;
        for (const auto &[x, text] : labels) {
            bool ok = false;
            const double t = text.toDouble(&ok);
            QVERIFY2(ok && t >= 13.0 - 1e-9 && t <= 14.0 + 1e-9, qPrintable(text));
            QVERIFY2(std::abs(x - (t - 12.0) * 100) < 1e-6, qPrintable(text)); // placed at its index
            fraction |= t != std::floor(t);
        }
        QVERIFY(fraction);

        r.chart.setTimeAxis(false);
        QCOMPARE(r.chart.horizontalLabels(), indexLabels);
    }

    void timeLabelsAcrossAPauseDoNotPileUp()
    {
        // Sampling stopped for a minute between points 50 and 51: the round times of that minute
        // all fall between the two points, so most of them must give way.
        Rig r;
        SampleTimeline timeline;
        for (int i = 0; i < 101; ++i) {
            timeline.append(i * 0.01 + (i > 50 ? 60.0 : 0.0), i + 1);
            r.s1->append(0);
        }
        QVERIFY(r.x.setRange(0, 100));
        r.chart.setTimeline(&timeline);
        r.chart.setTimeAxis(true);
        const auto labels = r.chart.horizontalLabels();
        QVERIFY(!labels.empty());
        for (size_t k = 1; k < labels.size(); ++k)
            QVERIFY2(pixelOf(r.chart, labels[k].first) - pixelOf(r.chart, labels[k - 1].first) > 20,
                     qPrintable(labels[k].second));
    }

    void cursorFollowsMouseAndReadsPoint()
    {
        Rig r;
        SampleTimeline timeline;
        const qint64 requests[] = {1, 2, 4, 5, 6}; // request 3 brought no sample
        for (int i = 0; i < 5; ++i) {
            timeline.append(0.5 + i * 0.0125, requests[i]);
            r.s1->append(1000.5 + i);
        }
        r.s2->append(-2), r.s2->append(-1), r.s2->append(qQNaN());
        r.s1->setTitle("CMD Speed[RPM]");
        QVERIFY(r.x.setRange(0, 10));
        QVERIFY(r.y.setRange(-100, 100));
        QSignalSpy moved(&r.chart, &StripChart::cursorMoved);

        QVERIFY(r.chart.cursorReadout().isEmpty());
        hover(r.chart, 2.3);
        QCOMPARE(r.chart.cursorIndex(), 2);
        QCOMPARE(r.chart.cursorReadout(), QStringList({"#2", "CMD Speed[RPM]: 1002.5", "Series2: -"}));
        r.chart.setTimeline(&timeline);
        QCOMPARE(r.chart.cursorReadout(), QStringList({"#4  0.525 s", "CMD Speed[RPM]: 1002.5", "Series2: -"}));
        hover(r.chart, 1.8); // the same point: no signal
        QCOMPARE(moved.count(), 1);
        QCOMPARE(moved.at(0).at(0).toLongLong(), 2);

        // Past the newest point the cursor stays on it; only the series holding it are read.
        hover(r.chart, 9);
        QCOMPARE(r.chart.cursorIndex(), 4);
        QCOMPARE(r.chart.cursorReadout(), QStringList({"#6  0.550 s", "CMD Speed[RPM]: 1004.5"}));
        QCOMPARE(moved.last().at(0).toLongLong(), 4);

        // Hovering never moves the axes.
        QCOMPARE(r.x.minimum(), 0.0);
        QCOMPARE(r.x.maximum(), 10.0);
        QCOMPARE(r.y.maximum(), 100.0);

        // Off the plot (over the axis labels) and out of the chart it goes.
        sendMouse(r.chart, QEvent::MouseMove, {2, r.chart.plotRect().center().y()});
        QVERIFY(!r.chart.cursorIndex());
        QCOMPARE(moved.last().at(0).toLongLong(), -1);
        hover(r.chart, 0);
        QCOMPARE(r.chart.cursorIndex(), 0);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&r.chart, &leave);
        QVERIFY(!r.chart.cursorIndex());
        QVERIFY(r.chart.cursorReadout().isEmpty());
        QCOMPARE(moved.last().at(0).toLongLong(), -1);

        // Set from outside: clamped, and silent so that two charts can mirror each other.
        const qsizetype before = moved.count();
        r.chart.setCursorIndex(99);
        QCOMPARE(r.chart.cursorIndex(), 4);
        r.chart.setCursorIndex(-3);
        QCOMPARE(r.chart.cursorIndex(), 0);
        r.chart.setCursorIndex(std::nullopt);
        QVERIFY(!r.chart.cursorIndex());
        QCOMPARE(moved.count(), before);

        // Cleared series take the cursor with them; with nothing stored it cannot be set.
        r.chart.setCursorIndex(3);
        r.s1->clear();
        QCOMPARE(r.chart.cursorIndex(), std::nullopt);
        r.chart.setCursorIndex(1);
        QCOMPARE(r.chart.cursorIndex(), 1);
        r.s2->clear();
        QVERIFY(!r.chart.cursorIndex());
        r.chart.setCursorIndex(0);
        QVERIFY(!r.chart.cursorIndex());
        hover(r.chart, 1);
        QVERIFY(!r.chart.cursorIndex());
    }

    void marksInImageCursorOnScreenOnly()
    {
        const QColor marker(255, 140, 0), level(0, 200, 255), cursor(230, 230, 230);
        Rig r;
        for (int i = 0; i <= 100; ++i)
            r.s1->append(50);
        QVERIFY(r.x.setRange(0, 100));
        QVERIFY(r.y.setRange(-100, 100));
        const QImage plain = r.chart.toImage();
        const QRectF plot = r.chart.plotRect();
        const int top = int(plot.top()) + 1, bottom = int(plot.bottom()) - 1;

        r.chart.setCursorIndex(30);
        QCOMPARE(r.chart.toImage(), plain); // saved charts show the signals only
        const QImage screen = r.chart.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(nearColumnHas(screen, pixelOf(r.chart, 30), top, bottom, cursor));
        r.chart.setCursorIndex(std::nullopt);

        r.chart.setMarker(40);
        r.chart.setLevelLine(0);
        QImage img = r.chart.toImage();
        QVERIFY(nearColumnHas(img, pixelOf(r.chart, 40), top, bottom, marker));
        QVERIFY(!nearColumnHas(img, pixelOf(r.chart, 60), top, bottom, marker));
        const int row = int(std::lround(plot.bottom() - plot.height() / 2));
        bool levelShown = false;
        for (int y = row - 1; y <= row + 1; ++y)
            for (int x = int(plot.left()) + 1; x < int(plot.right()); ++x)
                levelShown |= img.pixelColor(x, y) == level;
        QVERIFY(levelShown);

        r.chart.setMarker(std::nullopt);
        r.chart.setLevelLine(std::nullopt);
        QCOMPARE(r.chart.toImage(), plain);
    }

    void panningMovesWindowOverStoredPoints()
    {
        Rig r;
        QSignalSpy panned(&r.chart, &StripChart::panned);
        QVERIFY(!r.chart.panBy(10)); // nothing stored
        QVERIFY(turnWheel(r.chart, {0, 120}));
        QCOMPARE(panned.count(), 0);

        for (int i = 0; i < 1000; ++i)
            r.s1->append(i);
        r.x.setAutomatic(true);
        QVERIFY(!r.chart.panBy(-5)); // the automatic window already shows every point
        QVERIFY(r.x.automatic());
        QVERIFY(r.x.setRange(100, 200));

        // A drag to the right by a tenth of the plot shows ten earlier points.
        const double w = r.chart.plotRect().width();
        drag(r.chart, {w / 20, w / 10});
        QVERIFY(std::abs(r.x.minimum() - 90) < 1e-9);
        QVERIFY(std::abs(r.x.maximum() - 190) < 1e-9);
        QCOMPARE(panned.count(), 2);
        hover(r.chart, 150); // released: moving on only moves the cursor
        QVERIFY(std::abs(r.x.minimum() - 90) < 1e-9);

        // A notch moves a tenth of the window: away from the user, or tilted left, to earlier points.
        QVERIFY(turnWheel(r.chart, {0, 120}));
        QVERIFY(std::abs(r.x.minimum() - 80) < 1e-9);
        QVERIFY(turnWheel(r.chart, {0, -240}));
        QVERIFY(std::abs(r.x.minimum() - 100) < 1e-9);
        QVERIFY(turnWheel(r.chart, {120, 0}));
        QVERIFY(std::abs(r.x.minimum() - 90) < 1e-9);
        QCOMPARE(panned.count(), 5);

        // From the first point to the newest and no further.
        QVERIFY(r.chart.panBy(-1000));
        QCOMPARE(r.x.minimum(), 0.0);
        QCOMPARE(r.x.maximum(), 100.0);
        QVERIFY(!r.chart.panBy(-1));
        QVERIFY(r.chart.panBy(1e9));
        QCOMPARE(r.x.maximum(), 999.0);
        QCOMPARE(r.x.minimum(), 899.0);
        QVERIFY(!r.chart.panBy(1));
        QVERIFY(!r.chart.panBy(qInf()));
        QCOMPARE(panned.count(), 7);

        // A window wider than the run keeps the whole run in view; one beyond that bound (a live
        // window ahead of the data) moves only back towards the points.
        r.s1->clear();
        for (int i = 0; i < 10; ++i)
            r.s1->append(i);
        QVERIFY(r.x.setRange(-50, 0));
        QVERIFY(!r.chart.panBy(-5));
        QVERIFY(r.chart.panBy(5));
        QCOMPARE(r.x.minimum(), -45.0);
        QVERIFY(r.chart.panBy(100));
        QCOMPARE(r.x.minimum(), 0.0);
        QCOMPARE(r.x.maximum(), 50.0);

        // Switched off: the wheel goes to the parent and a drag does nothing.
        r.chart.setPanEnabled(false);
        QVERIFY(!turnWheel(r.chart, {0, 120}));
        drag(r.chart, {50});
        QCOMPARE(r.x.minimum(), 0.0);
        QCOMPARE(panned.count(), 9);
    }

    void memoryPerSample()
    {
        Rig r;
        const int n = 250000;
        for (int i = 0; i < n; ++i) {
            r.s1->append(i * 0.1);
            r.s2->append(-i * 0.1);
        }
        const double perSample = double(r.chart.memoryBytes()) / n;
        QVERIFY2(perSample >= 8 && perSample < 40, qPrintable(QString::number(perSample)));
    }
};

QTEST_MAIN(TestStripChart)
#include "tst_strip_chart.moc"
