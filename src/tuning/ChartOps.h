#pragma once

// What the live-chart windows do with a strip chart on every sample and on their Zoom,
// Auto and Clear buttons. Each operation works on one chart and the series that leads it
// (the first series of the chart).

#include <QString>

#include <functional>

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
//
// The step alone can lose the signal for good: previous outlives Clear and reopening, so a
// first step from a stale previous throws the axis away from the signal, and later steps of
// 0 never bring it back. So, while scrolling is on, the sample after a fresh start (recentre
// set: opening, Clear, a new lead signal, the end of a pause) centres the axis on its value,
// and so does any sample the step leaves outside the axis. The axis keeps its height; an
// automatic axis is left alone. recentre is cleared by the sample either way.
void FollowVertically(StripChart &chart, const StripSeries &lead, double &previous, bool scrolling,
                      bool &recentre);

// Moves a fixed vertical axis, keeping its height, so that it is centred on y.
void CentreVertically(StripChart &chart, double y);

// "Follow both": when the newest value of either series is outside the fixed vertical axis,
// the axis is centred between the two, and widened (by a tenth beyond them) when they are
// further apart than it is high. Returns whether it moved.
bool KeepBothInView(StripChart &chart, const StripSeries &a, const StripSeries &b);

// The horizontal window, keeping its width, ending at the lead's newest point (the live end).
void ShowNewest(StripChart &chart, const StripSeries &lead);

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
