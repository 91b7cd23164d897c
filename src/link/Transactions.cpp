#include "link/Transactions.h"

#include <QEventLoop>
#include <QTimer>

#include "link/DrivePort.h"
#include "link/MessageService.h"
#include "link/Texts.h"

namespace velmora {

bool TThread_CHK_RESPONSE::waitOnUiThread()
{
    ReplyEvent &ev = s_.replyEvent;
    if (ev.consumeIfSignalled())
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&s_, &DriveSession::replySignalled, &loop, &QEventLoop::quit);
    deadline.start(s_.responseWaitMs);
    for (;;) {
        if (ev.consumeIfSignalled())
            return true;
        if (!deadline.isActive() && ev.expireIfUnclaimed())
            return false;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
}

ReplyOutcome TThread_CHK_RESPONSE::run()
{
    const bool signalled = s_.onUiThread() ? waitOnUiThread() : s_.replyEvent.wait(s_.responseWaitMs);
    if (signalled) {
        s_.link.timeoutCount = 0;
        s_.link.linkFailed = 0;
        return s_.reply.lastOutcome;
    }
    // Not reset here: every further silent wait discards the port's buffers again.
    if (++s_.link.timeoutCount >= kTimeoutsForLinkFailure) {
        s_.link.linkFailed = 1;
        s_.runOnUi([this] {
            if (s_.port() && s_.port()->isOpen()) {
                s_.port()->discardInput();
                s_.port()->discardOutput();
            }
        });
    }
    return ReplyOutcome::NoReply;
}

ReplyOutcome ReadRegisters(DriveSession &s, uint16_t start, uint16_t count)
{
    s.req.functionCode = 3;
    s.req.startRegister = start;
    s.req.readCount = count;
    s.handOverSend([&s] { s.buildAndSend(FrameRead); });
    return TThread_CHK_RESPONSE(s).run();
}

bool CommandExchange(DriveSession &s, Command command, ReplyOutcome *outcome)
{
    s.reply.writeAck = 0;
    s.handOverSend([&s, command] {
        const CommandFrame frame = BuildCommandFrame(command, s.req.stationNumber);
        s.sendFrame(frame.data(), kCommandFrameLength);
    });
    const ReplyOutcome o = TThread_CHK_RESPONSE(s).run();
    if (outcome)
        *outcome = o;
    return s.reply.writeAck == 1;
}

ReplyOutcome TThread_Read_Again::run()
{
    s_.req.functionCode = 3;
    s_.req.readCount = s_.req.writeCount;
    s_.handOverSend([this] { s_.buildAndSend(FrameRead); });
    const ReplyOutcome o = TThread_CHK_RESPONSE(s_).run();
    // Only the drive's answer is shown: after a lost or bad reply entry 1 still holds some
    // earlier read's value, so the display keeps what it showed.
    if (o != ReplyOutcome::Good)
        return o;
    const QString text = FormatParamValue(s_.reply.decodedValues[1], s_.CurParamDef.Decimals);
    if (display_)
        s_.runOnUi([this, &text] { display_(text); });
    return o;
}

void TThread_CHK_SOVOEN::run()
{
    const ReplyOutcome assignments = ReadRegisters(s_, P7Defs[0].Address, static_cast<uint16_t>(P7Defs.size()));
    const ReplyOutcome io = assignments == ReplyOutcome::Good ? ReadRegisters(s_, kIoStatusRegister, 1)
                                                              : ReplyOutcome::NoReply;
    if (assignments != ReplyOutcome::Good || io != ReplyOutcome::Good) {
        // Without both replies the values in hand belong to some other read: the servo
        // state is unknown, and a write that needs the servo off must not go ahead.
        s_.link.servoOnFlag = 1;
        return;
    }
    for (size_t i = 0; i < P7Defs.size(); ++i) {
        const QString text = FormatParamValue(s_.reply.decodedValues[i + 1], P7Defs[i].Decimals);
        s_.link.inputFunctionTexts[static_cast<int>(i)] = text;
        if (text.isEmpty())
            continue;
        bool ok = false;
        const int func = text.toInt(&ok);
        if (!ok)
            return; // leaves the servo-on flag as it was
        s_.link.InFunc[i] = static_cast<uint8_t>(func & 0xFF);
        if (s_.link.InFunc[i] == 1)
            s_.link.ServoOnState = s_.reply.InBits[i];
    }
    s_.link.servoOnFlag = s_.link.ServoOnState == 1 ? 1 : 0;
}

void PauseKeepingEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool ConvertsFor(const TParamDef &def, const QString &text)
{
    WriteWord scratch{};
    return def.IsReal == 1 ? Change_Float2HEX(text, def, scratch) : Change_Int2HEX(text, def, scratch);
}

ReplyOutcome WriteOneExchange(DriveSession &s, const TParamDef &def)
{
    s.CurParamDef = def;
    s.req.functionCode = 6;
    s.req.startRegister = def.Address;
    s.req.writeCount = 1;
    s.reply.writeAck = 0;
    s.handOverSend([&s] { s.buildAndSend(FrameWriteOne); });
    return TThread_CHK_RESPONSE(s).run();
}

ValueWriteResult ValueWrite(DriveSession &s, const TParamDef &def, const QString &text, bool guard,
                            const ValueDisplay &display, const std::function<void()> &betweenWriteAndReadBack)
{
    ValueWriteResult result;
    if (guard) {
        TThread_CHK_SOVOEN(s).run();
        if (s.link.servoOnFlag == 1) {
            s.showMessage(QString::fromLatin1(texts::ServoOn));
            result.status = ValueWriteResult::ServoOn;
            return result;
        }
    }
    s.CurParamDef = def;
    s.req.functionCode = 6;
    s.req.startRegister = def.Address;
    s.req.writeCount = 1;
    const bool converted = def.IsReal == 1 ? Change_Float2HEX(text, s.CurParamDef, s.req.writeWords[1])
                                           : Change_Int2HEX(text, s.CurParamDef, s.req.writeWords[1]);
    if (!converted) {
        s.showMessage(QString::fromLatin1(texts::WrongParameter));
        result.status = ValueWriteResult::WrongParameter;
        return result;
    }
    result.write = WriteOneExchange(s, def);
    if (betweenWriteAndReadBack)
        betweenWriteAndReadBack();
    result.readBack = TThread_Read_Again(s, display).run();
    result.status = ValueWriteResult::Written;
    return result;
}

} // namespace velmora
