#include "tuning/ChartSampler.h"

#include "link/Transactions.h"
#include "params/Catalogue.h"
#include "params/DisplayRules.h"

namespace velmora {

const std::array<const char *, kChartSignalCount> ChartSignalNames{{
    "CMD Speed[RPM]", "Motor Speed[RPM]", "CCW Speed Limit[RPM]", "CW Speed Limit[RPM]", "CMD Pulse",
    "Feedback Pulse", "Pulse ERR", "Command Torque[%]", "Load Rate[%]", "Max Load Rate[%]",
    "CCW Torque Limit[%]", "CW Torque Limit[%]", "Inertia Ratio", "MULTI Turns", "Single Turn",
}};

namespace {
constexpr int kFirstPulseItem = 5, kLastPulseItem = 7;
} // namespace

QString ChartSignalText(int item, double decoded)
{
    if (item >= kFirstPulseItem && item <= kLastPulseItem)
        return QString::number(int16_t(uint16_t(NearestWhole(decoded) & 0xFFFF)));
    return FormatParamValue(decoded, StDefs.at(size_t(item)).Decimals);
}

ChartSampler::ChartSampler(DriveSession &session, const ChartSelections &selections, int series,
                           std::atomic<int> *counter, Hooks hooks, QObject *parent)
    : LoopThread(parent), s_(session), selections_(selections), series_(series), counter_(counter),
      hooks_(std::move(hooks))
{
    // Queued to this object: nothing is shown from a step the sampler waits for, and a
    // sampler deleted meanwhile takes the call with it.
    connect(this, &QThread::finished, this, &ChartSampler::onFinished, Qt::QueuedConnection);
}

void ChartSampler::onFinished()
{
    if (end() != End::Ended)
        return;
    if (linkFailure_)
        s_.reportLinkFault(QString::fromUtf8(kChartLinkFailure));
    if (hooks_.linkFailed)
        hooks_.linkFailed();
}

ChartSampler::~ChartSampler()
{
    stopAndWait();
}

bool ChartSampler::round()
{
    if (s_.link.linkFailed == 1) {
        s_.link.timeoutCount = 0;
        s_.link.linkFailed = 0;
        s_.runOnUi([this] { s_.discardAll(); });
        linkFailure_ = true;
        return false;
    }
    ChartSample sample;
    if (counter_)
        sample.counter = ++*counter_;
    // The request goes out with the receive buffer emptied (sendFrame drops stale input).
    const ExchangeResult r = ReadRegisters(s_, kFirstChartRegister, kChartSignalCount);
    if (r.outcome == ReplyOutcome::LinkDown) {
        // A device gone is this window's link failure; taken off line, the connection says why.
        linkFailure_ = s_.linkDownReason() == DriveSession::DownReason::DeviceLost;
        return false;
    }
    if (!r.good())
        return true; // no sample: a lost or bad reply is never plotted as a value
    for (int item = 1; item <= kChartSignalCount; ++item)
        sample.texts[size_t(item - 1)] = ChartSignalText(item, r.value(item));
    // The plotted value is the text read back, so the plot carries the table's rounding.
    for (int i = 0; i < series_; ++i) {
        const int item = selections_[size_t(i)].load();
        bool ok = false;
        sample.values[size_t(i)] = sample.texts.at(size_t(item - 1)).toDouble(&ok);
        if (!ok)
            return true; // dropped without a message
    }
    s_.runOnUi([this, &sample] {
        if (hooks_.append)
            hooks_.append(sample);
    });
    return true;
}

} // namespace velmora
