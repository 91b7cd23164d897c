#include "tuning/ChartOps.h"

#include <QFileInfo>

#include <cmath>
#include <utility>

#include "link/MessageService.h"
#include "tuning/StripChart.h"

namespace velmora {

void FollowHorizontally(StripChart &chart, const StripSeries &lead)
{
    const std::optional<qint64> x = lead.lastX();
    if (x && double(*x) > chart.horizontalAxis().maximum())
        chart.horizontalAxis().scroll(1);
}

void FollowVertically(StripChart &chart, const StripSeries &lead, double &previous, bool scrolling,
                      bool &recentre)
{
    const std::optional<double> y = lead.lastY();
    if (!y)
        return;
    const bool fresh = std::exchange(recentre, false);
    StripAxis &axis = chart.verticalAxis();
    if (scrolling && fresh && std::isfinite(*y) && !axis.automatic()) {
        CentreVertically(chart, *y);
        previous = *y;
        return;
    }
    const double half = (axis.maximum() - axis.minimum()) / 2;
    const double mid = axis.maximum() - half;
    if (*y == mid)
        return;
    if (scrolling)
        axis.scroll(*y - previous);
    previous = *y;
    if (scrolling && std::isfinite(*y) && !axis.automatic() && (*y < axis.minimum() || *y > axis.maximum()))
        CentreVertically(chart, *y);
}

void CentreVertically(StripChart &chart, double y)
{
    StripAxis &axis = chart.verticalAxis();
    const double half = (axis.maximum() - axis.minimum()) / 2;
    axis.setRange(y - half, y + half);
}

bool KeepBothInView(StripChart &chart, const StripSeries &a, const StripSeries &b)
{
    StripAxis &axis = chart.verticalAxis();
    const std::optional<double> ya = a.lastY();
    const std::optional<double> yb = b.lastY();
    if (axis.automatic() || !ya || !yb || !std::isfinite(*ya) || !std::isfinite(*yb))
        return false;
    const double lo = std::min(*ya, *yb), hi = std::max(*ya, *yb);
    if (lo >= axis.minimum() && hi <= axis.maximum())
        return false;
    double half = (axis.maximum() - axis.minimum()) / 2;
    half = std::max(half, (hi - lo) / 2 * 1.1);
    const double mid = (lo + hi) / 2;
    return axis.setRange(mid - half, mid + half);
}

void ShowNewest(StripChart &chart, const StripSeries &lead)
{
    StripAxis &h = chart.horizontalAxis();
    const std::optional<qint64> x = lead.lastX();
    if (!x)
        return;
    const double width = h.maximum() - h.minimum();
    const double end = std::max(double(*x), 0.0);
    h.setRange(end - width, end);
}

bool ZoomChart(StripChart &chart, const StripSeries &lead, double xRange, double yRange)
{
    const std::optional<double> y = lead.lastY();
    const std::optional<qint64> x = lead.lastX();
    if (!y || !x)
        return false;
    StripAxis &v = chart.verticalAxis();
    if (!v.setMaximum(*y + yRange) || !v.setMinimum(*y - yRange))
        return false;
    v.setAutomatic(false);
    return chart.horizontalAxis().setMinimum(double(*x) - xRange);
}

bool AutoScaleChart(StripChart &chart, const StripSeries &lead, double xRange)
{
    chart.verticalAxis().setAutomatic(true);
    const std::optional<qint64> x = lead.lastX();
    return x && chart.horizontalAxis().setMinimum(double(*x) - xRange);
}

void ResetChartAxes(StripChart &chart)
{
    StripAxis &h = chart.horizontalAxis();
    StripAxis &v = chart.verticalAxis();
    h.setAutomatic(false);
    v.setAutomatic(false);
    h.setMinimum(-100);
    h.setMaximum(0);
    v.setMaximum(std::abs(v.minimum()) + 1);
    v.setMinimum(-100);
    v.setMaximum(100);
}

bool SaveChartAsBmp(const StripChart &chart, MessageService &messages)
{
    return SaveThroughDialog(messages, QStringLiteral("bmp"), QStringLiteral("chart"),
                         [&chart](const QString &path, QString *error) { return chart.saveBmp(path, error); });
}

} // namespace velmora
