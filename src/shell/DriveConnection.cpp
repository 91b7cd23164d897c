#include "shell/DriveConnection.h"

#include <QFileInfo>

#include "link/LinkLog.h"
#include "link/MessageService.h"
#include "link/Texts.h"
#include "link/Transactions.h"

namespace velmora {

namespace {

constexpr int kSettingsPauseMs = 10;
constexpr int kWatchdogTicks = 14; // a verdict after more ticks than this
constexpr int kWatchdogEmptySamples = 10;
constexpr int kInitialStation = 50;
constexpr int kStepRetryMs = 1;
constexpr int kBoxRetryMs = 50;

} // namespace

DriveConnection::DriveConnection(MessageService &messages, ConnectionView &view, MonitorView &monitorView,
                                 QObject *parent)
    : QObject(parent),
      messages_(messages),
      view_(view),
      monitorView_(monitorView),
      session_(&port_, &messages),
      receiver_(session_)
{
    port_.setObjectName(QStringLiteral("ApdComPort1"));
    session_.setStation(kInitialStation);
    connect(&port_, &DrivePort::dataAvailable, &receiver_, &TThread_Receive::ApdComPort1TriggerAvail);
    // Queued: the port reports a loss from inside whatever operation found it, possibly a
    // step a worker waits for.
    connect(&port_, &DrivePort::deviceLost, this, &DriveConnection::onDeviceLost, Qt::QueuedConnection);
    connect(&session_, &DriveSession::badReplyLimit, this, &DriveConnection::onBadReplyLimit, Qt::QueuedConnection);
    connect(&session_, &DriveSession::linkFaultReported, this, [this](const QString &text) { showLinkFault(text); });
    watchdog_.setObjectName(QStringLiteral("Timer_ChkCom"));
    watchdog_.setInterval(kWatchdogIntervalMs);
    connect(&watchdog_, &QTimer::timeout, this, &DriveConnection::watchdogTick);
}

DriveConnection::~DriveConnection()
{
    watchdog_.stop();
    stopPoller(); // its steps touch the main window's controls
}

void DriveConnection::setState(State s)
{
    if (state_ == s)
        return;
    qCInfo(lcLink) << "connection" << int(state_) << "->" << int(s);
    state_ = s;
    emit stateChanged(s);
}

bool DriveConnection::goOnLine(const QString &stationText)
{
    const State before = state_;
    setState(State::Opening);
    if (!port_.isOpen() && !port_.open()) {
        setState(before == State::Lost ? State::Lost : State::OffLine);
        messages_.error(QString::fromLatin1(texts::ComportOpenError), port_.errorString());
        return false;
    }
    session_.discardAll();
    session_.forgetLine();
    adviseOnAdapter();
    bool ok = false;
    const int station = stationText.trimmed().toInt(&ok, 10);
    if (!ok) {
        setState(State::HalfOpen);
        view_.showHalfOpen();
        messages_.show(QString::fromLatin1(texts::ComportSettingError));
        session_.discardAll();
        return false;
    }
    session_.setStation(static_cast<uint8_t>(station & 0xFF));
    session_.discardAll();
    PauseKeepingEvents(kSettingsPauseMs);

    // A new link: nothing is known of the drive until it answers.
    session_.setLinkDown(false);
    session_.reply.crcErrorCount = 0;
    session_.link.linkFailed = 0;
    session_.link.timeoutCount = 0;
    monitor_.forgetDrive();
    view_.showOnLineState(true);
    setState(State::OnLine);
    startPollerAt(QThread::TimeCriticalPriority);
    return true;
}

void DriveConnection::adviseOnAdapter()
{
    // Once per adapter and run: the setting outlives going off line, not a replug.
    const LineReport line = port_.lineReport();
    const QString advice = LatencyTimerAdvice(line);
    if (advice.isEmpty() || toldSlowAdapter_.contains(line.ttyName))
        return;
    toldSlowAdapter_.insert(line.ttyName);
    // After going on line has finished: the box must not hold the opening up.
    QTimer::singleShot(0, this, [this, advice] { showLinkFault(advice); });
}

void DriveConnection::goOffLine()
{
    // A deliberate Off-Line must not be reported as a silent drive seconds later.
    watchdog_.stop();
    session_.setLinkDown(true);
    if (pollerRunning_ || poller_)
        stopPoller();
    view_.showOnLineState(false);
    port_.close();
    setState(State::OffLine);
}

void DriveConnection::shutdown()
{
    watchdog_.stop();
    session_.setLinkDown(true);
    stopPoller();
    port_.close();
    setState(State::OffLine);
}

void DriveConnection::startWatchdog()
{
    watchdogTicks_ = 0;
    watchdogSilentTicks_ = 0;
    watchdogReplies_ = session_.counters.repliesTaken;
    monitor_.LabelRefreshCount = 0;
    watchdog_.start();
}

void DriveConnection::watchdogTick()
{
    ++watchdogTicks_;
    // A tick is silent when no reply came in since the one before. (Looking for bytes in the
    // receive buffer would call a drive whose replies arrive whole silent.)
    const quint64 replies = session_.counters.repliesTaken;
    if (replies == watchdogReplies_)
        ++watchdogSilentTicks_;
    watchdogReplies_ = replies;
    if (watchdogTicks_ > kWatchdogTicks && watchdogSilentTicks_ > kWatchdogEmptySamples) {
        session_.link.linkFailed = 1;
        watchdog_.stop();
        showLinkFault(QString::fromLatin1(texts::CheckComport));
    } else if (watchdogTicks_ > kWatchdogTicks && watchdogSilentTicks_ < kWatchdogEmptySamples) {
        watchdog_.stop();
    }
    if (session_.link.linkFailed == 1)
        watchdog_.stop();
    if (view_.childWindowOpen())
        watchdog_.stop();
}

void DriveConnection::stopPoller()
{
    // Taken out first: the wait runs events, and one of them (the device going away) may
    // stop the poller again from inside it.
    std::unique_ptr<TThread_ST_ALS_READ> poller = std::move(poller_);
    pollerRunning_ = false;
    if (poller)
        poller->stopAndWait();
}

void DriveConnection::startPollerAt(QThread::Priority priority)
{
    stopPoller(); // never two
    // Off line (the port closed, or the device gone during a command) nothing polls.
    if (!port_.isOpen() || session_.isLinkDown())
        return;
    poller_ = std::make_unique<TThread_ST_ALS_READ>(session_, monitor_, monitorView_);
    QPointer<TThread_ST_ALS_READ> started = poller_.get();
    connect(poller_.get(), &QThread::finished, this, [this, started] { onPollerEnded(started.data()); },
            Qt::QueuedConnection);
    poller_->start(priority);
    pollerPriority_ = priority;
    ++pollersStarted_;
    pollerRunning_ = true;
}

void DriveConnection::onPollerEnded(TThread_ST_ALS_READ *poller)
{
    // Only a poller that ended by itself is reported; one that was stopped is gone already.
    if (!poller || poller != poller_.get())
        return;
    if (poller->end() == LoopThread::End::Failed) {
        showLinkFault(QStringLiteral("The status display stopped after an internal fault."), poller->failure());
        return;
    }
    if (!poller->endedOnLinkFailure())
        return;
    if (state_ == State::OnLine)
        setState(State::Failed);
    view_.showLinkFailed();
    showLinkFault(QString::fromLatin1(texts::CheckComport));
}

bool DriveConnection::deferredWhileInStep(const std::function<void()> &again)
{
    if (!session_.inWorkerStep())
        return false;
    QTimer::singleShot(kStepRetryMs, this, again);
    return true;
}

void DriveConnection::onDeviceLost(const QString &reason)
{
    if (deferredWhileInStep([this, reason] { onDeviceLost(reason); }))
        return;
    // One loss, one message: the port may report it more than once, and after the first
    // the port is closed.
    if (state_ == State::Lost || state_ == State::OffLine)
        return;
    const QString name = port_.portName();
    takeDown(State::Lost, {QStringLiteral("The serial port %1 has gone away.").arg(name), reason},
             DriveSession::DownReason::DeviceLost);
}

void DriveConnection::onBadReplyLimit()
{
    if (deferredWhileInStep([this] { onBadReplyLimit(); }))
        return;
    if (state_ == State::Lost || state_ == State::OffLine)
        return;
    takeDown(State::OffLine, {QString::fromLatin1(texts::CrcErrorLimit), {}}, DriveSession::DownReason::BadReplies);
}

void DriveConnection::takeDown(State to, const Fault &why, DriveSession::DownReason reason)
{
    qCWarning(lcLink) << "link down:" << why.text << why.detail;
    // Messages the windows report while they stop wait behind this one.
    ++holdFaults_;
    watchdog_.stop();
    setState(to);
    session_.setLinkDown(true, reason);
    if (pollerRunning_ || poller_)
        stopPoller();
    view_.showOnLineState(false);
    port_.close();
    faults_.push_front(why);
    --holdFaults_;
    flushFaults();
}

void DriveConnection::showLinkFault(const QString &text, const QString &detail)
{
    faults_.push_back({text, detail});
    flushFaults();
}

void DriveConnection::flushFaults()
{
    if (faultBoxOpen_ || holdFaults_ > 0)
        return;
    // Another box is up (a window's own message, a question): this one follows it.
    if (!faults_.empty() && messages_.openBoxes() > 0) {
        QTimer::singleShot(kBoxRetryMs, this, &DriveConnection::flushFaults);
        return;
    }
    faultBoxOpen_ = true;
    while (!faults_.empty()) {
        const Fault f = faults_.front();
        faults_.pop_front();
        if (f.detail.isEmpty())
            messages_.show(f.text);
        else
            messages_.error(f.text, f.detail);
    }
    faultBoxOpen_ = false;
}

} // namespace velmora
