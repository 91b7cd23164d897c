#include "tuning/ChartSampler.h"

#include <QCoreApplication>
#include <QEvent>

#include <chrono>

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

// A sample on its way to the window. Posted below normal priority, so a request the sampler
// hands over meanwhile goes out first and the window's drawing overlaps the next reply.
const QEvent::Type kSampleEvent = QEvent::Type(QEvent::registerEventType());

struct SampleEvent : QEvent {
    explicit SampleEvent(ChartSample s) : QEvent(kSampleEvent), sample(std::move(s)) {}
    ChartSample sample;
};
} // namespace

qint64 SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double ChartWireRate(int baud)
{
    return baud > 0 ? double(baud) / ((8 + 65) * 10) : 0.0;
}

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
    deliverQueued();
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

void ChartSampler::finish()
{
    stopAndWait();
    deliverQueued();
}

void ChartSampler::deliverQueued()
{
    QCoreApplication::sendPostedEvents(this, kSampleEvent);
}

bool ChartSampler::event(QEvent *event)
{
    if (event->type() != kSampleEvent)
        return LoopThread::event(event);
    if (hooks_.append)
        hooks_.append(static_cast<SampleEvent *>(event)->sample);
    return true;
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
    const qint64 request = ++requests_;
    sample.request = counter_ ? sample.counter : request;
    // The request goes out with the receive buffer emptied (sendFrame drops stale input).
    const ExchangeResult r = ReadRegisters(s_, kFirstChartRegister, kChartSignalCount);
    sample.arrivedNs = SteadyNowNs();
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
    if (watchAlarm_ && sample.arrivedNs - lastAlarmReadNs_ >= qint64(alarmEveryMs) * 1000000) {
        // Only while a capture waits for an alarm: the present alarm between two samples.
        lastAlarmReadNs_ = sample.arrivedNs;
        const ExchangeResult alarm = CommandExchange(s_, Command::PresentAlarmRead);
        if (alarm.good())
            sample.alarm = NearestWhole(alarm.value(1));
    }
    QCoreApplication::postEvent(this, new SampleEvent(std::move(sample)), Qt::LowEventPriority);
    return true;
}

} // namespace velmora
