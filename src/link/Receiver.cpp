#include "link/Receiver.h"

#include <QMetaObject>

#include <cmath>
#include <cstring>

#include "link/DrivePort.h"
#include "link/DriveSession.h"

namespace velmora {

namespace {

// Refusals: the request's function code with the high bit set, for reads (3), writes
// (6, 16) and the private functions (70, 73, 80).
bool isException(uint8_t code)
{
    return code == 131 || code == 134 || code == 144 || code == 198 || code == 201 || code == 208;
}
bool isWriteEcho(uint8_t code) { return code == 6 || (code >= 70 && code <= 73); }
bool isKnown(uint8_t code)
{
    return code == 3 || code == 80 || code == 16 || isWriteEcho(code) || isException(code);
}

} // namespace

TThread_Receive::TThread_Receive(DriveSession &session, QObject *parent)
    : QObject(parent), s_(session)
{
}

void TThread_Receive::ApdComPort1TriggerAvail()
{
    DrivePort *port = s_.port();
    if (!port)
        return;
    feed(port->readAll());
}

void TThread_Receive::feed(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    s_.reply.bytesSeen += static_cast<quint64>(bytes.size());
    s_.noteBytesArrived();
    // Bytes that arrive while no request is outstanding can only be the remains of a reply
    // whose wait has ended; they must not become part of the next one.
    if (!s_.replyEvent.isArmed()) {
        s_.noteLateBytes(int(bytes.size() + s_.reply.receiveBuffer.size()));
        s_.reply.receiveBuffer.clear();
        return;
    }
    s_.reply.receiveBuffer.append(bytes);
    // One notification at a time; a notification that arrives while one is handled (a
    // nested event loop somewhere below) is picked up when the first returns.
    if (busy_) {
        again_ = true;
        return;
    }
    busy_ = true;
    do {
        again_ = false;
        handle();
    } while (again_);
    busy_ = false;
}

TThread_Receive::Echo TThread_Receive::dropEcho()
{
    ReplyState &r = s_.reply;
    if (!r.echoPossible)
        return Echo::None;
    QByteArray &buf = r.receiveBuffer;
    const QByteArray &request = r.request;
    const int n = int(std::min(buf.size(), request.size()));
    if (n == 0 || std::memcmp(buf.constData(), request.constData(), size_t(n)) != 0) {
        // A late reply to the request before may come first (a write acknowledged by its
        // echo before the line was known to echo): it is dropped, and the echo looked for
        // behind it.
        if (!lateFrameInFront(buf))
            r.echoPossible = false; // the first bytes are not the request: no echo this time
        return Echo::None;
    }
    if (buf.size() < request.size())
        return isWholeAnswer(buf) ? Echo::None : Echo::WaitForMore;
    // A write's acknowledgement repeats the request byte for byte: until this line has
    // shown that it echoes, a copy alone is the drive's answer. Two copies are the echo and
    // the answer.
    if (!s_.link.lineEchoes && isWholeAnswer(request)) {
        const QByteArray rest = buf.mid(request.size());
        if (!rest.isEmpty() && rest.size() < request.size() && request.startsWith(rest))
            return Echo::WaitForMore;
        if (!rest.startsWith(request)) {
            r.echoPossible = false;
            return Echo::None;
        }
    }
    r.echoPossible = false;
    buf.remove(0, request.size());
    s_.noteEcho();
    return Echo::Dropped;
}

bool TThread_Receive::lateFrameInFront(const QByteArray &buf) const
{
    const int length = expectedFrameLength(buf);
    const auto *bytes = reinterpret_cast<const uint8_t *>(buf.constData());
    return length > 0 && length <= kMaxReplyLength && length <= buf.size() && CrcMatches(bytes, length)
        && !answersRequest(bytes);
}

bool TThread_Receive::isWholeAnswer(const QByteArray &frame) const
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(frame.constData());
    return expectedFrameLength(frame) == frame.size() && CrcMatches(bytes, int(frame.size())) && answersRequest(bytes);
}

void TThread_Receive::handle()
{
    QByteArray &buf = s_.reply.receiveBuffer;
    if (dropEcho() == Echo::WaitForMore)
        return;
    const int L = buf.size();
    if (L < 2)
        return; // a single byte waits for more
    const auto code = static_cast<uint8_t>(buf[1]);

    if (!isKnown(code)) {
        buf.clear();
        crcErrorHandling(); // the waiter is not released: its wait ends by time-out
        return;
    }

    // A late reply to an earlier request may sit in front of this request's reply; drop it
    // whole and look at what follows.
    if (const int frameLength = expectedFrameLength(buf); L > frameLength && lateFrameInFront(buf)) {
        s_.noteLateBytes(frameLength);
        buf.remove(0, frameLength);
        handle();
        return;
    }

    bool complete = false;
    if (code == 3 || code == 80) {
        const int n = L >= 3 ? static_cast<uint8_t>(buf[2]) : 0;
        complete = L >= n + 5;
    } else if (code == 16) {
        complete = L == 8;
    } else if (isWriteEcho(code)) {
        complete = L == 10;
    } else {
        // An exception reply is five bytes; waiting for all of them keeps a reply that
        // arrives in pieces from counting as a CRC error.
        complete = L >= 5;
    }
    if (complete || L > kMaxReplyLength)
        takeReply();
}

void TThread_Receive::takeReply()
{
    QByteArray &buf = s_.reply.receiveBuffer;
    const int L = buf.size();
    uint8_t copy[kMaxReplyLength] = {};
    const bool fits = L <= kMaxReplyLength;
    std::memcpy(copy, buf.constData(), fits ? L : kMaxReplyLength);
    buf.clear();

    const uint8_t code = copy[1];
    ++s_.counters.repliesTaken;
    if (!fits || !CrcMatches(copy, L)) {
        // Release the waiter first (no values, no acknowledgement), then count the error.
        if (s_.replyEvent.claim()) {
            s_.reply.lastOutcome = ReplyOutcome::Bad;
            s_.storeReply({}, ReplyOutcome::Bad);
            s_.replyEvent.signal();
        }
        crcErrorHandling();
        return;
    }

    // A good frame that does not answer the request outstanding is a late reply to an
    // earlier one: it is neither this request's values nor a line fault.
    if (!answersRequest(copy)) {
        s_.noteLateBytes(L);
        return;
    }

    if (!s_.replyEvent.claim())
        return;
    s_.reply.crcErrorCount = 0;
    if (code == 3 || code == 80) {
        if (code == 3 && lastRequestWasIoStatus())
            decodeIoStatus(copy);
        else
            decodeValues(copy);
        s_.reply.lastOutcome = ReplyOutcome::Good;
    } else if (isWriteEcho(code)) {
        s_.reply.writeAck = 1;
        s_.reply.lastOutcome = ReplyOutcome::Good;
    } else if (code == 16) {
        s_.reply.lastOutcome = ReplyOutcome::Good;
    } else {
        s_.reply.lastOutcome = ReplyOutcome::Rejected;
    }
    s_.storeReply(QByteArray(reinterpret_cast<const char *>(copy), L), s_.reply.lastOutcome);
    s_.replyEvent.signal();
}

int TThread_Receive::expectedFrameLength(const QByteArray &buf)
{
    if (buf.size() < 2)
        return 0;
    const auto code = static_cast<uint8_t>(buf[1]);
    if (code == 3 || code == 80)
        return buf.size() >= 3 ? static_cast<uint8_t>(buf[2]) + 5 : 0;
    if (code == 16)
        return 8;
    if (isWriteEcho(code))
        return 10;
    if (isException(code))
        return 5;
    return 0;
}

bool TThread_Receive::answersRequest(const uint8_t *frame) const
{
    const ExpectedReply &e = s_.expected;
    const uint8_t code = frame[1];
    if (isException(code))
        return code - 128 == e.functionCode;
    if (code != e.functionCode)
        return false;
    if (code == 3 || code == 80)
        return e.byteCount < 0 || frame[2] == e.byteCount;
    // Echoes of writes and commands carry the register they answer.
    return e.address < 0 || ((frame[2] << 8) | frame[3]) == e.address;
}

bool TThread_Receive::lastRequestWasIoStatus() const
{
    return s_.expected.ioStatus;
}

void TThread_Receive::decodeValues(const uint8_t *copy)
{
    const int n = copy[2];
    // The count of values is N / 4, halves to even; never past the copy or the list.
    const int count = static_cast<int>(std::nearbyint(n / 4.0));
    for (int i = 1; i <= count && i <= 100 && 4 * i + 2 < kMaxReplyLength; ++i)
        s_.reply.decodedValues[i] =
            DecodeRegisterValue(copy[4 * i - 1], copy[4 * i], copy[4 * i + 1], copy[4 * i + 2]);
}

void TThread_Receive::decodeIoStatus(const uint8_t *copy)
{
    const IoBits bits = DecodeIoStatus(copy);
    s_.reply.InBits = bits.in;
    s_.reply.OutBits = bits.out;
}

void TThread_Receive::crcErrorHandling()
{
    s_.discardAll();
    if (++s_.reply.crcErrorCount <= kCrcErrorLimit)
        return;
    s_.reply.crcErrorCount = 0;
    s_.reply.receiveBuffer.clear();
    // Reported once this notification has returned: whoever owns the connection stops the
    // workers, takes the link off line and says so, never inside the receiver.
    QMetaObject::invokeMethod(this, [this] { s_.badReplyLimitReached(); }, Qt::QueuedConnection);
}

} // namespace velmora
