// How replies are gathered, tested and handed over: reassembly, bad replies, the error
// limit, I/O status decoding and stale bytes.
#include <QTest>

#include "ReplyBuilder.h"
#include "ScriptedPort.h"
#include "link/DriveSession.h"
#include "link/MessageService.h"
#include "link/Receiver.h"
#include "link/Texts.h"

using namespace velmora;

namespace {

QByteArray framed(const QByteArray &body) { return withCrc(body); }
QByteArray readReply(const QList<float> &values) { return ::readReply(1, values); }

struct Rig {
    ScriptedPort port;
    RecordingMessageService messages;
    DriveSession session{&port, &messages};
    TThread_Receive receiver{session};
    int offLine = 0;

    Rig()
    {
        QObject::connect(&port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);
        session.setOffLineAction([this] { ++offLine; });
        session.req.stationNumber = 1;
    }
    // Sends a read request so a reply is expected.
    void expectRead(uint16_t start, uint16_t count)
    {
        session.req.startRegister = start;
        session.req.readCount = count;
        session.buildAndSend(FrameRead);
    }
    void expectCommand(Command c)
    {
        const CommandFrame f = BuildCommandFrame(c, 1);
        session.sendFrame(f.data(), 10);
    }
    bool released() { return session.replyEvent.consumeIfSignalled(); }
};

} // namespace

class TestReceiver : public QObject {
    Q_OBJECT
private slots:
    void replyInPiecesIsTakenWhole()
    {
        Rig r;
        r.session.reply.decodedValues[6] = 42.f;
        r.expectRead(300, 5);
        const QByteArray reply = readReply({1.5f, 2.5f, 3.5f, 4.5f, 5.5f});
        QCOMPARE(reply.size(), 25);
        r.port.deliver(reply.left(2));
        QVERIFY(!r.released());
        r.port.deliver(reply.mid(2, 10));
        QVERIFY(!r.released());
        QCOMPARE(r.session.reply.receiveBuffer.size(), 12);
        r.port.deliver(reply.mid(12));
        QVERIFY(r.released());
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(r.session.reply.decodedValues[i], 0.5f + i);
        QCOMPARE(r.session.reply.decodedValues[6], 42.f); // beyond the reply: kept
        QCOMPARE(r.session.reply.lastOutcome, ReplyOutcome::Good);
        QVERIFY(r.session.reply.receiveBuffer.isEmpty());
    }

    void badCrcReleasesWithoutValues()
    {
        Rig r;
        r.session.reply.decodedValues[1] = 7.f;
        r.expectRead(300, 1);
        QByteArray reply = readReply({9.f});
        reply[reply.size() - 1] = char(reply.back() ^ 0x01);
        const int discardsBefore = r.port.inputDiscards;
        r.port.deliver(reply);
        QVERIFY(r.released());
        QCOMPARE(r.session.reply.lastOutcome, ReplyOutcome::Bad);
        QCOMPARE(r.session.reply.decodedValues[1], 7.f);
        QCOMPARE(r.session.reply.crcErrorCount, 1);
        QVERIFY(r.port.inputDiscards > discardsBefore);
        QCOMPARE(r.port.outputDiscards, 1);
    }

    void unknownCodeIsDiscardedWithoutRelease()
    {
        Rig r;
        r.expectRead(300, 1);
        r.port.deliver(QByteArray::fromHex("05"));
        QCOMPARE(r.session.reply.receiveBuffer.size(), 1); // one byte waits for more
        r.port.deliver(QByteArray::fromHex("0505"));
        QVERIFY(!r.released());
        QVERIFY(r.session.reply.receiveBuffer.isEmpty());
        QCOMPARE(r.session.reply.crcErrorCount, 1);
    }

    void errorLimitGoesOffLineOnce()
    {
        Rig r;
        for (int i = 0; i < 7; ++i) {
            r.expectRead(300, 1);
            QByteArray bad = readReply({1.f});
            bad[5] = char(bad[5] ^ 0x40);
            r.port.deliver(bad);
        }
        QCOMPARE(r.session.reply.crcErrorCount, 0);
        QTRY_COMPARE(r.offLine, 1);
        // The link reports the limit; the connection that owns it stops the workers and
        // says so (the main window's tests).
        QVERIFY(r.messages.shown.isEmpty());

        Rig g;
        for (int i = 0; i < 6; ++i) {
            g.expectRead(300, 1);
            g.port.deliver(QByteArray::fromHex("0105AA"));
        }
        QCOMPARE(g.session.reply.crcErrorCount, 6);
        g.expectRead(300, 1);
        g.port.deliver(readReply({1.f}));
        QCOMPARE(g.session.reply.crcErrorCount, 0);
        QTest::qWait(20);
        QCOMPARE(g.offLine, 0);
        QVERIFY(g.messages.shown.isEmpty());
    }

    void ioStatusReadFillsBitsOnly()
    {
        const QByteArray reply = QByteArray::fromHex("010304" "0000012C" "FA7E");
        Rig r;
        r.session.reply.decodedValues[1] = 5.f;
        r.expectRead(26, 1);
        r.port.deliver(reply);
        QVERIFY(r.released());
        QCOMPARE(r.session.reply.decodedValues[1], 5.f);
        const std::array<uint8_t, 10> out{0, 0, 1, 1, 0, 1, 0, 0, 1, 0}; // 0x2C, then bit 0 of 0x01
        QCOMPARE(r.session.reply.OutBits, out);
        QCOMPARE(r.session.reply.InBits, (std::array<uint8_t, 12>{}));

        r.expectRead(27, 1);
        r.port.deliver(reply);
        QVERIFY(r.released());
        QCOMPARE(r.session.reply.decodedValues[1], 300.f);

        // Inputs live in the high half: bits 0..7 of D1, 8..11 of D0.
        r.expectRead(26, 1);
        r.port.deliver(framed(QByteArray::fromHex("010304" "0A810000")));
        QVERIFY(r.released());
        const std::array<uint8_t, 12> in{1, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 1};
        QCOMPARE(r.session.reply.InBits, in);
    }

    void acknowledgementsAndLengths()
    {
        Rig r;
        r.expectCommand(Command::JogOn);
        const CommandFrame echo = BuildCommandFrame(Command::JogOn, 1);
        r.port.deliver(QByteArray(reinterpret_cast<const char *>(echo.data()), 10));
        QVERIFY(r.released());
        QCOMPARE(int(r.session.reply.writeAck), 1);

        // Code 16 is complete at exactly 8 bytes: ten bytes are neither taken nor discarded.
        r.session.req.startRegister = 200;
        r.session.req.writeCount = 1;
        r.session.buildAndSend(FrameWriteSeveral);
        r.port.deliver(framed(QByteArray::fromHex("011000C800010000")));
        QVERIFY(!r.released());
        QCOMPARE(r.session.reply.receiveBuffer.size(), 10);
        QCOMPARE(r.session.reply.crcErrorCount, 0);
    }

    // A line that sends every request back (a two-wire adapter without echo suppression):
    // the copy is dropped, the user told once, and the drive's reply behind it is taken.
    void echoedRequestsAreDropped()
    {
        Rig r;
        r.expectRead(300, 2);
        const QByteArray request = r.port.sent.last();
        const QByteArray reply = readReply({1.f, 2.f});
        r.port.deliver(request.left(3));
        QVERIFY(!r.released());
        r.port.deliver(request.mid(3) + reply.left(4));
        QVERIFY(!r.released());
        r.port.deliver(reply.mid(4));
        QVERIFY(r.released());
        QCOMPARE(r.session.reply.lastOutcome, ReplyOutcome::Good);
        QCOMPARE(r.session.reply.decodedValues[1], 1.f);
        QCOMPARE(r.session.reply.decodedValues[2], 2.f);
        QCOMPARE(r.session.reply.crcErrorCount, 0);
        QCOMPARE(quint64(r.session.counters.echoesDiscarded), quint64(1));
        QCOMPARE(quint64(r.session.counters.lateBytesDiscarded), quint64(0));
        QVERIFY(r.session.link.lineEchoes);
        QVERIFY(r.messages.shown.isEmpty()); // never from inside the receiver
        QTRY_COMPARE(r.messages.shown, QStringList{QString::fromLatin1(texts::LineEchoes)});

        // Known to echo, a command's copy is no longer taken for its acknowledgement.
        r.session.reply.writeAck = 0;
        r.expectCommand(Command::JogOn);
        const QByteArray command = r.port.sent.last();
        r.port.deliver(command);
        QVERIFY(!r.released());
        QCOMPARE(int(r.session.reply.writeAck), 0);
        r.port.deliver(command); // the drive's own acknowledgement
        QVERIFY(r.released());
        QCOMPARE(int(r.session.reply.writeAck), 1);
        QCOMPARE(quint64(r.session.counters.echoesDiscarded), quint64(2));

        // A port opened again may be another adapter: a copy of a command is its answer
        // again until the line shows that it echoes. The user is not told twice.
        r.session.forgetLine();
        r.session.reply.writeAck = 0;
        r.expectCommand(Command::JogOff);
        r.port.deliver(r.port.sent.last());
        QVERIFY(r.released());
        QCOMPARE(int(r.session.reply.writeAck), 1);
        // Two copies, though, are the echo and the answer, however they are split.
        r.session.forgetLine();
        r.expectCommand(Command::JogOff);
        const QByteArray twice = r.port.sent.last() + r.port.sent.last();
        r.port.deliver(twice.left(13));
        QVERIFY(!r.released());
        r.port.deliver(twice.mid(13));
        QVERIFY(r.released());
        QVERIFY(r.session.link.lineEchoes);
        QCOMPARE(quint64(r.session.counters.echoesDiscarded), quint64(3));
        QCOMPARE(quint64(r.session.counters.lateBytesDiscarded), quint64(0));
        r.session.forgetLine();
        r.expectRead(300, 2);
        r.port.deliver(r.port.sent.last() + reply);
        QVERIFY(r.released());
        QVERIFY(r.session.link.lineEchoes);
        QTest::qWait(20);
        QCOMPARE(r.messages.shown.size(), 1);
        QCOMPARE(r.session.reply.crcErrorCount, 0);
    }

    // The first request on a line not yet known to echo is a command: its copy is taken
    // for the acknowledgement, and the drive's own arrives in front of the next request's
    // echo. It is dropped as late, and the echo behind it recognised.
    void echoBehindALateAcknowledgement()
    {
        Rig r;
        r.expectCommand(Command::JogOff);
        const QByteArray command = r.port.sent.last();
        r.port.deliver(command);
        QVERIFY(r.released());
        r.expectRead(300, 2);
        const QByteArray reply = readReply({4.f, 5.f});
        r.port.deliver(command + r.port.sent.last() + reply);
        QVERIFY(r.released());
        QCOMPARE(r.session.reply.lastOutcome, ReplyOutcome::Good);
        QCOMPARE(r.session.reply.decodedValues[2], 5.f);
        QCOMPARE(quint64(r.session.counters.echoesDiscarded), quint64(1));
        QCOMPARE(quint64(r.session.counters.lateBytesDiscarded), quint64(command.size()));
        QCOMPARE(r.session.reply.crcErrorCount, 0);
    }

    // Replies that begin as the request did are not held as a possible echo once they
    // are whole, nor dropped when they turn out different.
    void repliesThatBeginLikeTheirRequest()
    {
        Rig r;
        r.session.req.startRegister = 200;
        r.session.req.writeCount = 1;
        r.session.buildAndSend(FrameWriteSeveral);
        const QByteArray request = r.port.sent.last();
        const QByteArray ack = framed(request.left(6)); // a multiple write's acknowledgement
        r.port.deliver(ack.left(5));
        QVERIFY(!r.released());
        r.port.deliver(ack.mid(5));
        QVERIFY(r.released());
        QCOMPARE(r.session.reply.lastOutcome, ReplyOutcome::Good);

        // A read of one register from 0x0403: its reply's byte count (4) is the request's
        // third byte, so the reply's first three bytes are the request's.
        r.expectRead(0x0403, 1);
        const QByteArray reply = ::readReply(1, {3.f}, true);
        QCOMPARE(reply.left(3), r.port.sent.last().left(3));
        for (char c : reply)
            r.port.deliver(QByteArray(1, c));
        QVERIFY(r.released());
        QCOMPARE(r.session.reply.lastOutcome, ReplyOutcome::Good);
        QCOMPARE(r.session.reply.decodedValues[1], 3.f);
        QCOMPARE(quint64(r.session.counters.echoesDiscarded), quint64(0));
        QVERIFY(!r.session.link.lineEchoes);
    }

    void exceptionReplyInPieces()
    {
        Rig r;
        r.expectRead(5000, 1);
        const QByteArray ex = framed(QByteArray::fromHex("018302"));
        r.port.deliver(ex.left(2));
        QVERIFY(!r.released());
        r.port.deliver(ex.mid(2));
        QVERIFY(r.released());
        QCOMPARE(r.session.reply.lastOutcome, ReplyOutcome::Rejected);
        QCOMPARE(r.session.reply.crcErrorCount, 0);
    }

    void oversizedBufferIsABadReply()
    {
        Rig r;
        r.expectRead(100, 20);
        QByteArray junk = QByteArray::fromHex("0103FA"); // claims 250 data bytes
        junk.append(QByteArray(198, '\x11'));
        r.port.deliver(junk);
        QVERIFY(r.released());
        QCOMPARE(r.session.reply.lastOutcome, ReplyOutcome::Bad);
        QCOMPARE(r.session.reply.crcErrorCount, 1);
        QVERIFY(r.session.reply.receiveBuffer.isEmpty());
    }

    void staleRepliesAreNeverTakenAsValues()
    {
        Rig r;
        // Nothing outstanding: bytes are dropped as they come.
        r.port.deliver(readReply({1.f}));
        QVERIFY(r.session.reply.receiveBuffer.isEmpty());
        QCOMPARE(r.session.reply.crcErrorCount, 0);

        // A late reply of another read in front of this request's own reply.
        r.expectRead(300, 2);
        r.port.deliver(readReply({111.f}) + readReply({2.f, 3.f}).left(4));
        QVERIFY(!r.released());
        r.port.deliver(readReply({2.f, 3.f}).mid(4));
        QVERIFY(r.released());
        QCOMPARE(r.session.reply.decodedValues[1], 2.f);
        QCOMPARE(r.session.reply.decodedValues[2], 3.f);
        QCOMPARE(r.session.reply.crcErrorCount, 0);

        // A write echo while a read is outstanding is not its reply either.
        r.expectRead(300, 1);
        r.port.deliver(framed(QByteArray::fromHex("0106012C00000001")));
        QVERIFY(!r.released());
        QCOMPARE(int(r.session.reply.writeAck), 0);
    }
};

QTEST_MAIN(TestReceiver)
#include "tst_receiver.moc"
