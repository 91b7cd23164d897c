#include "tuning/ChartCsv.h"

#include <algorithm>
#include <cmath>

#include "params/AtomicFile.h"
#include "params/CsvText.h"
#include "tuning/ChartSampler.h"
#include "tuning/SampleTimeline.h"
#include "tuning/StripChart.h"

namespace velmora {

QString ChartSignalHeading(int item)
{
    const QString text = QLatin1String(ChartSignalNames.at(size_t(item - 1)));
    // The counts have no unit in their list text; the status block gives them in pulses.
    if (!text.contains(QLatin1Char('[')) && item != 13)
        return text + QStringLiteral(" [pls]");
    return text;
}

QByteArray ChartCsv(const SampleTimeline &timeline, const std::vector<const StripSeries *> &series,
                    const QStringList &headings, long long first, long long last)
{
    first = std::max<long long>(first, 0);
    last = std::min<long long>(last, timeline.count() - 1);
    QByteArray out = "Sample,Time [s]";
    for (size_t i = 0; i < series.size(); ++i)
        out += ',' + CsvField(headings.value(int(i)));
    out += "\r\n";
    for (long long p = first; p <= last; ++p) {
        out += QByteArray::number(timeline.request(p));
        out += ',';
        out += QByteArray::number(timeline.time(p), 'f', 6);
        for (const StripSeries *s : series) {
            out += ',';
            if (s && p < s->count() && std::isfinite(s->y(p)))
                out += QByteArray::number(s->y(p), 'g', 7);
        }
        out += "\r\n";
    }
    return out;
}

bool SaveChartCsv(const QString &path, const QByteArray &csv, QString *error)
{
    return WriteFileAtomically(path, csv, error);
}

} // namespace velmora
