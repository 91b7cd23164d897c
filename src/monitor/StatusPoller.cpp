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
    const ReplyOutcome o = [this] {
        ReplyOutcome outcome = ReplyOutcome::NoReply;
        CommandExchange(s_, Command::PresentAlarmRead, &outcome);
        return outcome;
    }();
    // A lost or refused reply leaves the present alarm as it was: the decoded values then
    // belong to some earlier read.
    if (o != ReplyOutcome::Good)
        return o;
    const int n = functionNumber(s_.reply.decodedValues[1]);
    state_.PresentAlarmName = AlarmLabel(n);
    state_.PresentAlarmCode = n >= 0 && n < int(AlarmDisplayCodes.size()) ? AlarmDisplayCodes[size_t(n)] : 0;
    if (n == 0)
        state_.PresentAlarmName = AlarmLabel(15); // the ALARM output says otherwise
    const QString name = state_.PresentAlarmName;
    s_.runOnUi([this, name] { view_.setPresentAlarm(name); });
    return o;
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
        s_.runOnUi([this] {
            view_.showLinkFailure();
            s_.link.timeoutCount = 0;
            s_.link.linkFailed = 0;
            s_.discardAll();
        });
        return false;
    }
    s_.runOnUi([this] { view_.setPowerLamp(true); });

    // Pin assignments, with the previous cycle's I/O bits. Values of a read that got no
    // good reply are not the drive's: the assignments then stay as they were.
    if (ReadRegisters(s_, P8Defs[0].Address, uint16_t(P8Defs.size())) == ReplyOutcome::Good) {
        for (size_t i = 0; i < P8Defs.size(); ++i) {
            state_.OutFunc[i] = uint8_t(functionNumber(s_.reply.decodedValues[i + 1]));
            if (state_.OutFunc[i] == kAlarmFunction)
                state_.AlarmOutState = s_.reply.OutBits[i];
        }
    }
    if (ReadRegisters(s_, P7Defs[0].Address, uint16_t(P7Defs.size())) == ReplyOutcome::Good) {
        for (size_t i = 0; i < P7Defs.size(); ++i) {
            link.InFunc[i] = uint8_t(functionNumber(s_.reply.decodedValues[i + 1]));
            if (link.InFunc[i] == kServoOnFunction)
                link.ServoOnState = s_.reply.InBits[i];
        }
    }

    if (state_.LabelRefreshCount < kLabelPasses) {
        const auto in = link.InFunc;
        const auto out = state_.OutFunc;
        s_.runOnUi([this, in, out] {
            for (int i = 0; i < 12; ++i)
                view_.setInputLabel(i, InputFunctionLabel(in[size_t(i)]));
            if (out[0] <= kLastLabelledOutput) {
                for (int k = 0; k < 9; ++k)
                    view_.setOutputLabel(k, OutputFunctionLabel(out[size_t(k + 1)]));
                view_.setOutputLabel(9, OutputFunctionLabel(out[0]));
            }
        });
        ++state_.LabelRefreshCount;
    }

    const bool statusGood = ReadRegisters(s_, StDefs[0].Address, uint16_t(StDefs.size())) == ReplyOutcome::Good;
    std::array<QString, 18> texts;
    if (statusGood) {
        for (size_t k = 0; k < StDefs.size(); ++k)
            texts[k] = FormatRecordValue(StDefs[k], s_.reply.decodedValues[k + 1]);
    }
    s_.runOnUi([this, statusGood, texts] {
        if (statusGood) {
            for (int k = 0; k < 18; ++k)
                view_.setStatusText(k, texts[size_t(k)]);
        }
        view_.setPowerLamp(false);
    });

    if (ReadRegisters(s_, kIoStatusRegister, 1) == ReplyOutcome::Good) {
        const auto in = s_.reply.InBits;
        const auto out = s_.reply.OutBits;
        s_.runOnUi([this, in, out] {
            for (int i = 0; i < 12; ++i)
                view_.setInputLamp(i, in[size_t(i)] == 1);
            for (int k = 0; k < 10; ++k)
                view_.setOutputLamp(k, out[size_t((k + 1) % 10)] == 1);
        });
    }

    if (state_.AlarmOutState == 0) {
        TThread_Alarm_Present(s_, state_, view_).run();
    } else {
        state_.PresentAlarmName = AlarmLabel(0);
        s_.runOnUi([this] { view_.setPresentAlarm(AlarmLabel(0)); });
    }
    const bool alarm = state_.AlarmOutState == 0, servoOn = link.ServoOnState == 1;
    s_.runOnUi([this, alarm, servoOn] {
        view_.setAlarmLamp(alarm);
        view_.setServoLamp(servoOn);
    });
    return true;
}

} // namespace velmora
