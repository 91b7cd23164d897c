#include "monitor/StatusPoller.h"

#include <QEventLoop>
#include <QTimer>

#include <cmath>

#include "link/DrivePort.h"
#include "link/Transactions.h"
#include "params/Catalogue.h"
#include "params/DisplayRules.h"

namespace velmora {

namespace {

constexpr int kAlarmFunction = 14;  // ALARM output
constexpr int kServoOnFunction = 1; // SVONEN input
constexpr int kLastLabelledOutput = 18;
constexpr int kLabelPasses = 2;

int functionNumber(float value)
{
    return NearestWhole(value);
}

} // namespace

QString InputFunctionLabel(int function)
{
    if (function < 0 || function >= int(InputFunctionNames.size()))
        return QString::number(function);
    return QString::fromLatin1(InputFunctionNames[size_t(function)]);
}

QString OutputFunctionLabel(int function)
{
    if (function < 0 || function >= int(OutputFunctionNames.size()))
        return QString::number(function);
    return QString::fromLatin1(OutputFunctionNames[size_t(function)]);
}

QString AlarmLabel(int number)
{
    if (number < 0 || number >= int(AlarmNames.size()))
        return QStringLiteral("ALARM %1").arg(number);
    return QString::fromLatin1(AlarmNames[size_t(number)]);
}

ReplyOutcome TThread_Alarm_Present::run()
{
    const ExchangeResult r = CommandExchange(s_, Command::PresentAlarmRead);
    // A lost or refused reply leaves the present alarm as it was.
    if (!r.good())
        return r.outcome;
    const int n = functionNumber(r.value(1));
    state_.PresentAlarmName = AlarmLabel(n);
    state_.PresentAlarmCode = n >= 0 && n < int(AlarmDisplayCodes.size()) ? AlarmDisplayCodes[size_t(n)] : 0;
    if (n == 0)
        state_.PresentAlarmName = AlarmLabel(15); // the ALARM output says otherwise
    const QString name = state_.PresentAlarmName;
    s_.runOnUi([this, name] { view_.setPresentAlarm(name); });
    return r.outcome;
}

TThread_ST_ALS_READ::TThread_ST_ALS_READ(DriveSession &session, MonitorState &state, MonitorView &view,
                                         QObject *parent)
    : LoopThread(parent), s_(session), state_(state), view_(view)
{
}

TThread_ST_ALS_READ::~TThread_ST_ALS_READ()
{
    stopAndWait();
}

bool TThread_ST_ALS_READ::cycle()
{
    LinkState &link = s_.link;
    if (link.linkFailed == 1) {
        // The owner says so once this poller has ended: a step a worker waits for must
        // never wait for the user.
        link.timeoutCount = 0;
        link.linkFailed = 0;
        s_.runOnUi([this] { s_.discardAll(); });
        linkFailure_ = true;
        return false;
    }
    if (s_.isLinkDown())
        return false;
    s_.runOnUi([this] { view_.setPowerLamp(true); });

    // Pin assignments, judged with the previous cycle's I/O bits. Nothing here comes from a
    // read without a good reply: the assignments, the alarm and servo states and the lamp
    // labels then stay as they were.
    const bool ioKnown = state_.ioKnown;
    const ExchangeResult outputs = ReadRegisters(s_, P8Defs[0].Address, uint16_t(P8Defs.size()));
    if (outputs.good()) {
        for (size_t i = 0; i < P8Defs.size(); ++i) {
            state_.OutFunc[i] = uint8_t(functionNumber(outputs.value(int(i) + 1)));
            if (state_.OutFunc[i] == kAlarmFunction && ioKnown)
                state_.AlarmOutState = state_.io.out[i];
        }
    }
    const ExchangeResult inputs = ReadRegisters(s_, P7Defs[0].Address, uint16_t(P7Defs.size()));
    if (inputs.good()) {
        for (size_t i = 0; i < P7Defs.size(); ++i) {
            link.InFunc[i] = uint8_t(functionNumber(inputs.value(int(i) + 1)));
            if (link.InFunc[i] == kServoOnFunction && ioKnown)
                link.ServoOnState = state_.io.in[i];
        }
    }

    if (state_.LabelRefreshCount < kLabelPasses && (inputs.good() || outputs.good())) {
        const auto in = link.InFunc;
        const auto out = state_.OutFunc;
        const bool inGood = inputs.good(), outGood = outputs.good();
        s_.runOnUi([this, in, out, inGood, outGood] {
            if (inGood) {
                for (int i = 0; i < 12; ++i)
                    view_.setInputLabel(i, InputFunctionLabel(in[size_t(i)]));
            }
            if (outGood && out[0] <= kLastLabelledOutput) {
                for (int k = 0; k < 9; ++k)
                    view_.setOutputLabel(k, OutputFunctionLabel(out[size_t(k + 1)]));
                view_.setOutputLabel(9, OutputFunctionLabel(out[0]));
            }
        });
        // A pass counts only when both lists came from the drive.
        if (inGood && outGood)
            ++state_.LabelRefreshCount;
    }

    const ExchangeResult status = ReadRegisters(s_, StDefs[0].Address, uint16_t(StDefs.size()));
    std::array<QString, 18> texts;
    if (status.good()) {
        for (size_t k = 0; k < StDefs.size(); ++k)
            texts[k] = FormatRecordValue(StDefs[k], status.value(int(k) + 1));
    }
    const bool statusGood = status.good();
    s_.runOnUi([this, statusGood, texts] {
        if (statusGood) {
            for (int k = 0; k < 18; ++k)
                view_.setStatusText(k, texts[size_t(k)]);
        }
        view_.setPowerLamp(false);
    });

    const ExchangeResult io = ReadRegisters(s_, kIoStatusRegister, 1);
    if (io.good()) {
        const IoBits bits = io.ioBits();
        state_.io = bits;
        state_.ioKnown = true;
        s_.runOnUi([this, bits] {
            for (int i = 0; i < 12; ++i)
                view_.setInputLamp(i, bits.in[size_t(i)] == 1);
            for (int k = 0; k < 10; ++k)
                view_.setOutputLamp(k, bits.out[size_t((k + 1) % 10)] == 1);
        });
    }

    // The summary lamps show a state only once it rests on the drive's answers.
    const bool alarmKnown = outputs.good() && ioKnown;
    const bool servoKnown = inputs.good() && ioKnown;
    if (state_.AlarmOutState == 0) {
        TThread_Alarm_Present(s_, state_, view_).run();
    } else if (alarmKnown) {
        state_.PresentAlarmName = AlarmLabel(0);
        s_.runOnUi([this] { view_.setPresentAlarm(AlarmLabel(0)); });
    }
    const bool alarm = state_.AlarmOutState == 0, servoOn = link.ServoOnState == 1;
    if (alarmKnown || servoKnown) {
        s_.runOnUi([this, alarm, servoOn, alarmKnown, servoKnown] {
            if (alarmKnown)
                view_.setAlarmLamp(alarm);
            if (servoKnown)
                view_.setServoLamp(servoOn);
        });
    }
    return true;
}

} // namespace velmora
