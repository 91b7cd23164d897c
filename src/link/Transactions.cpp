#include "link/Transactions.h"

#include <QEventLoop>
#include <QTimer>

namespace velmora {

namespace {

// The frame builder works on a request state of its own: no shared request is ever
// touched by two exchanges.
QByteArray built(RequestState &req, uint8_t type)
{
    const int32_t length = MAKE_REQUEST_ARRAY(req, type);
    // Reads always go out as their 8 bytes; everything else as built.
    return QByteArray(reinterpret_cast<const char *>(req.requestBuffer.data()), length);
}

// Data bytes of the function-80 replies: the present alarm is one value, the history ten.
int commandReplyBytes(Command command)
{
    switch (command) {
    case Command::PresentAlarmRead: return 4;
    case Command::AlarmHistoryRead: return 40;
    default: return -1;
    }
}

} // namespace

QByteArray ReadFrame(uint8_t station, uint16_t start, uint16_t count)
{
    RequestState req;
    req.stationNumber = station;
    req.functionCode = 3;
    req.startRegister = start;
    req.readCount = count;
    return built(req, FrameRead);
}

QByteArray WriteOneFrame(uint8_t station, uint16_t address, WriteWord word)
{
    RequestState req;
    req.stationNumber = station;
    req.functionCode = 6;
    req.startRegister = address;
    req.writeCount = 1;
    req.writeWords[1] = word;
    return built(req, FrameWriteOne);
}

QByteArray WriteSeveralFrame(uint8_t station, uint16_t start, const std::vector<WriteWord> &words)
{
    RequestState req;
    req.stationNumber = station;
    req.functionCode = 16;
    req.startRegister = start;
    req.writeCount = static_cast<uint16_t>(std::min<size_t>(words.size(), kWriteWordCount));
    for (size_t i = 0; i < req.writeCount; ++i)
        req.writeWords[i + 1] = words[i];
    return built(req, FrameWriteSeveral);
}

QByteArray InputControlFrame(uint8_t station, uint16_t controlWord)
{
    RequestState req;
    req.stationNumber = station;
    req.inputControlWord = controlWord;
    return built(req, FrameInputControl);
}

ExchangeResult ReadRegisters(DriveSession &s, uint16_t start, uint16_t count)
{
    return s.exchange(ReadFrame(s.req.stationNumber, start, count));
}

ExchangeResult CommandExchange(DriveSession &s, Command command)
{
    s.reply.writeAck = 0;
    const CommandFrame frame = BuildCommandFrame(command, s.req.stationNumber);
    return s.exchange(QByteArray(reinterpret_cast<const char *>(frame.data()), kCommandFrameLength),
                      commandReplyBytes(command));
}

ExchangeResult WriteRegister(DriveSession &s, uint16_t address, WriteWord word)
{
    s.reply.writeAck = 0;
    return s.exchange(WriteOneFrame(s.req.stationNumber, address, word));
}

ExchangeResult WriteRegisters(DriveSession &s, uint16_t start, const std::vector<WriteWord> &words)
{
    return s.exchange(WriteSeveralFrame(s.req.stationNumber, start, words));
}

ExchangeResult WriteInputControl(DriveSession &s, uint16_t controlWord)
{
    s.reply.writeAck = 0;
    return s.exchange(InputControlFrame(s.req.stationNumber, controlWord));
}

PatternStart StartProgrammedJog(DriveSession &s, Command mode)
{
    const ExchangeResult start = CommandExchange(s, mode);
    if (start.good())
        return PatternStart::Started;
    if (start.outcome == ReplyOutcome::Rejected)
        return PatternStart::Refused;
    if (start.outcome == ReplyOutcome::LinkDown)
        return PatternStart::LinkDown;
    const ExchangeResult off = CommandExchange(s, Command::ProgrammedJogOff);
    if (off.good())
        return PatternStart::StoppedAgain;
    return off.outcome == ReplyOutcome::LinkDown ? PatternStart::LinkDown : PatternStart::MayRun;
}

void PauseKeepingEvents(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace velmora
