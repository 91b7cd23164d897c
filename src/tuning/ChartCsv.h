#pragma once

// Stored chart samples as a CSV file: one row per plotted sample with its request number,
// its arrival time and the value of each series.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace velmora {

class SampleTimeline;
class StripSeries;

// Header of a signal column: the signal's list text, with its unit where the text has none.
QString ChartSignalHeading(int item);

// Points first..last (clipped to the stored points) as CSV text: a header row "Sample",
// "Time [s]" and one heading per series, then a row per point. Values as the value table
// shows them, a point as decimal separator whatever the locale.
QByteArray ChartCsv(const SampleTimeline &timeline, const std::vector<const StripSeries *> &series,
                    const QStringList &headings, long long first, long long last);

// Writes it atomically: on failure the file at path is left as it was and error says why.
bool SaveChartCsv(const QString &path, const QByteArray &csv, QString *error);

} // namespace velmora
