#include "params/ParamTransactions.h"

#include "link/Texts.h"
#include "params/DisplayRules.h"
#include "params/ValueCodec.h"

namespace velmora {

ExchangeResult TThread_Read_Again::run()
{
    const ExchangeResult r = ReadRegisters(s_, def_.Address, 1);
    // Only the drive's answer is shown: after a lost or bad reply the display keeps what
    // it showed.
    if (!r.good())
        return r;
    const QString text = FormatParamValue(r.value(1), def_.Decimals);
    if (display_)
        s_.runOnUi([this, &text] { display_(text); });
    return r;
}

void TThread_CHK_SOVOEN::run()
{
    known_ = false;
    const ExchangeResult assignments = ReadRegisters(s_, P7Defs[0].Address, static_cast<uint16_t>(P7Defs.size()));
    const ExchangeResult io = assignments.good() ? ReadRegisters(s_, kIoStatusRegister, 1) : ExchangeResult{};
    if (!assignments.good() || !io.good()) {
        s_.link.servoOnFlag = 1;
        return;
    }
    const IoBits bits = io.ioBits();
    for (size_t i = 0; i < P7Defs.size(); ++i) {
        const QString text = FormatParamValue(assignments.value(int(i) + 1), P7Defs[i].Decimals);
        s_.link.inputFunctionTexts[static_cast<int>(i)] = text;
        if (text.isEmpty())
            continue;
        bool ok = false;
        const int func = text.toInt(&ok);
        if (!ok)
            return; // leaves the servo-on flag as it was
        s_.link.InFunc[i] = static_cast<uint8_t>(func & 0xFF);
        if (s_.link.InFunc[i] == 1)
            s_.link.ServoOnState = bits.in[i];
    }
    known_ = true;
    s_.link.servoOnFlag = s_.link.ServoOnState == 1 ? 1 : 0;
}

ServoCheck CheckServoOffForWrite(DriveSession &s, const char *onText)
{
    TThread_CHK_SOVOEN check(s);
    check.run();
    if (!check.known()) {
        if (!s.isLinkDown())
            s.showMessage(QString::fromLatin1(texts::GuardUnanswered));
        return ServoCheck::Unanswered;
    }
    if (s.link.servoOnFlag == 1) {
        s.showMessage(QString::fromLatin1(onText));
        return ServoCheck::On;
    }
    return ServoCheck::Off;
}

ExchangeResult WriteOneExchange(DriveSession &s, const TParamDef &def, WriteWord word)
{
    return WriteRegister(s, def.Address, word);
}

void ShowValueUnconfirmed(DriveSession &s, const TParamDef &def, const ValueDisplay &display)
{
    if (display)
        s.runOnUi([&display] { display(QString()); });
    if (!s.isLinkDown())
        s.showMessage(QString::fromLatin1(texts::ValueUnconfirmed).arg(ParamIdForAddress(def.Address)));
}

ValueWriteResult ValueWrite(DriveSession &s, const TParamDef &def, const QString &text, bool guard,
                            const ValueDisplay &display, const std::function<void()> &betweenWriteAndReadBack)
{
    ValueWriteResult result;
    if (guard) {
        switch (CheckServoOffForWrite(s, texts::ServoOn)) {
        case ServoCheck::Off: break;
        case ServoCheck::On: result.status = ValueWriteResult::ServoOn; return result;
        case ServoCheck::Unanswered: result.status = ValueWriteResult::GuardUnanswered; return result;
        }
    }
    const TParamDef CurParamDef = def;
    WriteWord word;
    if (!EncodeTypedValue(text, CurParamDef, word)) {
        s.showMessage(QString::fromLatin1(texts::WrongParameter));
        result.status = ValueWriteResult::WrongParameter;
        return result;
    }
    result.write = WriteOneExchange(s, CurParamDef, word).outcome;
    if (betweenWriteAndReadBack)
        betweenWriteAndReadBack();
    result.readBack = TThread_Read_Again(s, CurParamDef, display).run().outcome;
    result.status = ValueWriteResult::Written;
    if (result.readBack != ReplyOutcome::Good)
        ShowValueUnconfirmed(s, CurParamDef, display);
    return result;
}

} // namespace velmora
