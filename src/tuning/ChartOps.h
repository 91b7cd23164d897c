#pragma once

// What the live-chart windows do with a strip chart on every sample and on their Zoom,
// Auto and Clear buttons. Each operation works on one chart and the series that leads it
// (the first series of the chart).

#include <QString>

class QWidget;

namespace velmora {

class MessageService;
class StripChart;
class StripSeries;

// What the chart windows keep from one opening to the next, owned by whoever opens them
// (the main window): the monitoring window's scroll switch and the previous values that
// vertical following steps from (series 1 and 3 of the monitoring window, series 1 of the
// gain tuning chart).
struct ChartMemory {
    bool scrollOn = true;
    double previous1 = 0;
    double previous3 = 0;
    double gainPrevious1 = 0;
};

// Horizontal following: the window keeps its width and ends at the newest sample.
void FollowHorizontally(StripChart &chart, const StripSeries &lead);

// Vertical following: when the newest value is off the middle of the vertical axis, the
// axis scrolls by its change from previous (only while scrolling is on), and previous
// becomes the newest value either way. A value exactly at the middle changes nothing.
void FollowVertically(StripChart &chart, const StripSeries &lead, double &previous, bool scrolling);

// Zoom around the newest value: vertical lastY +- yRange, horizontal minimum lastX - xRange.
// Stops silently at the first step that fails (no point yet, or a maximum below the
// present minimum), keeping what it has set.
bool ZoomChart(StripChart &chart, const StripSeries &lead, double xRange, double yRange);

// Automatic vertical scale and horizontal minimum lastX - xRange; stops silently without a
// point.
bool AutoScaleChart(StripChart &chart, const StripSeries &lead, double xRange);

// Clear's axes: both fixed, horizontal -100..0, vertical -100..100, set in an order that
// never puts the minimum above the maximum whatever the axes held.
void ResetChartAxes(StripChart &chart);

// Save as BMP through the save dialog ("bmp" added when the name has none). Cancelling
// does nothing; a failure is reported in the error box. Returns whether a file was written.
bool SaveChartAsBmp(const StripChart &chart, MessageService &messages);

} // namespace velmora
