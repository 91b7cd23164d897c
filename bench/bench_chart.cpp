// Cost of the strip chart with 1 000, 100 000 and 1 000 000 stored points in each of two series:
// appending a sample, and appending one and drawing the chart (554 x 232, into an image) with
// the last 1000 samples shown and with the whole history shown; and the memory per stored
// sample. Each figure is also given as a ratio to the 1 000-point case, and against the wire
// time of one sample at 57600 baud. Prints numbers; never fails on timing.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "tuning/StripChart.h"

using namespace velmora;

namespace {

// One request (8 bytes) and one reply (65 bytes), 10 bits a byte.
constexpr double WireUsPerSample = (8 + 65) * 10 * 1e6 / 57600;

double signal(qint64 i, int series)
{
    const double t = double(i);
    return series == 0 ? 1000 * std::sin(t / 300) + double(i % 7) : 500 * std::cos(t / 170);
}

qint64 heapInUse()
{
#ifdef __GLIBC__
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
#else
    return 0;
#endif
}

// What the monitoring window does per sample: two appends, then the horizontal window follows.
void addSample(StripChart &chart, StripSeries *a, StripSeries *b)
{
    const qint64 x = a->append(signal(a->count(), 0));
    b->append(signal(b->count(), 1));
    if (double(x) > chart.horizontalAxis().maximum())
        chart.horizontalAxis().scroll(1);
}

struct Row {
    qint64 points = 0;
    double appendUs = 0;    // mean over the fill
    double appendMaxUs = 0; // slowest single sample
    double liveMs = 0;      // append + draw, last 1000 samples shown (median)
    double wholeMs = 0;     // append + draw, whole history shown (median)
    double bytesPerSample = 0;
    double heapPerSample = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double drawRounds(StripChart &chart, StripSeries *a, StripSeries *b, QImage &image, int rounds)
{
    std::vector<double> ms;
    QElapsedTimer timer;
    for (int i = 0; i < rounds; ++i) {
        timer.start();
        addSample(chart, a, b);
        QPainter painter(&image);
        chart.paintChart(painter, chart.size());
        painter.end();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(ms);
}

Row measure(qint64 points)
{
    Row row;
    row.points = points;
    const qint64 heapBefore = heapInUse();
    StripChart chart;
    chart.resize(554, 232);
    StripSeries *a = chart.addSeries("Series1", QColor(0, 255, 0));
    StripSeries *b = chart.addSeries("Series2", QColor(255, 255, 0));
    chart.horizontalAxis().setRange(-1000, 0);
    chart.verticalAxis().setRange(-1200, 1200);

    QElapsedTimer total;
    QElapsedTimer one;
    total.start();
    for (qint64 i = 0; i < points; ++i) {
        one.start();
        addSample(chart, a, b);
        row.appendMaxUs = std::max(row.appendMaxUs, double(one.nsecsElapsed()) / 1e3);
    }
    row.appendUs = double(total.nsecsElapsed()) / 1e3 / double(points);
    row.bytesPerSample = double(chart.memoryBytes()) / double(points);
    if (heapBefore || heapInUse())
        row.heapPerSample = double(heapInUse() - heapBefore) / double(points);

    QImage image(chart.size(), QImage::Format_RGB32);
    row.liveMs = drawRounds(chart, a, b, image, 200);
    chart.horizontalAxis().setAutomatic(true);
    chart.verticalAxis().setAutomatic(true);
    row.wholeMs = drawRounds(chart, a, b, image, 200);
    return row;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::vector<Row> rows;
    for (qint64 n : {qint64(1000), qint64(100000), qint64(1000000)})
        rows.push_back(measure(n));
    const Row &base = rows.front();

    std::printf("Strip chart, 2 series, 554 x 232; one sample on the wire takes %.0f us at 57600 baud.\n",
                WireUsPerSample);
    std::printf("Append: two appends and the horizontal window's step, mean over filling the chart\n"
                "        (max: slowest sample, scheduling noise included).\n");
    std::printf("Draw: one such sample, then the whole chart drawn into an image (median of 200);\n"
                "      live = the last 1000 samples shown, whole = every stored sample shown; whole grows\n"
                "      with how much of the plot the per-column strokes cover (at a million points each\n"
                "      column spans the signal's full swing), so it is bounded by the plot's pixels.\n\n");
    std::printf("%10s | %16s %9s | %16s | %16s | %11s %11s\n", "points", "append us (x)", "max us",
                "live draw ms (x)", "whole draw ms (x)", "bytes/smpl", "heap/smpl");
    for (const Row &r : rows) {
        std::printf("%10lld | %8.3f (%5.2f) %9.1f | %8.3f (%5.2f) | %8.3f (%5.2f) | %11.1f %11.1f\n",
                    static_cast<long long>(r.points), r.appendUs, r.appendUs / base.appendUs, r.appendMaxUs,
                    r.liveMs, r.liveMs / base.liveMs, r.wholeMs, r.wholeMs / base.wholeMs, r.bytesPerSample,
                    r.heapPerSample);
    }
    const Row &top = rows.back();
    std::printf("\nAt %lld points: append is %.3f%% of a sample's wire time; drawing 25 times a second "
                "takes %.1f%% (live) / %.1f%% (whole) of one core.\n",
                static_cast<long long>(top.points), 100 * top.appendUs / WireUsPerSample, 2.5 * top.liveMs,
                2.5 * top.wholeMs);
    return 0;
}
