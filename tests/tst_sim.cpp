// The simulated drive: frame assembly, the replies of each request kind, exceptions, the
// station and initialisation rules, I/O, alarms, motion, fault injection and the in-process port.
#include <QSignalSpy>
#include <QTest>

#include <cstring>

#include "ReplyBuilder.h"
#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/FrameCodec.h"

using namespace velmora;

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

uint32_t bitsOf(float f)
{
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

QByteArray writeFrame(uint16_t address, uint32_t value, uint8_t station = 1)
{
    RequestState req;
    req.stationNumber = station;
    req.startRegister = address;
    req.writeWords[1] = {static_cast<uint16_t>(value >> 16), static_cast<uint16_t>(value & 0xFFFF)};
    const int n = MAKE_REQUEST_ARRAY(req, FrameWriteOne);
    return QByteArray(reinterpret_cast<const char *>(req.requestBuffer.data()), n);
}

QByteArray writeSeveralFrame(uint16_t start, const QList<uint32_t> &values, uint8_t station = 1)
{
    RequestState req;
    req.stationNumber = station;
    req.startRegister = start;
    req.writeCount = static_cast<uint16_t>(values.size());
    for (int k = 0; k < values.size(); ++k)
        req.writeWords[k + 1] = {static_cast<uint16_t>(values[k] >> 16), static_cast<uint16_t>(values[k] & 0xFFFF)};
    const int n = MAKE_REQUEST_ARRAY(req, FrameWriteSeveral);
    return QByteArray(reinterpret_cast<const char *>(req.requestBuffer.data()), n);
}

QByteArray inputControlFrame(uint16_t word)
{
    RequestState req;
    req.stationNumber = 1;
    req.inputControlWord = word;
    const int n = MAKE_REQUEST_ARRAY(req, FrameInputControl);
    return QByteArray(reinterpret_cast<const char *>(req.requestBuffer.data()), n);
}

QByteArray command(Command c, uint8_t station = 1)
{
    const CommandFrame f = BuildCommandFrame(c, station);
    return QByteArray(reinterpret_cast<const char *>(f.data()), static_cast<int>(f.size()));
}

// Everything the drive sends back for these bytes, pieces joined.
QByteArray exchange(SimDrive &drive, const QByteArray &bytes)
{
    QByteArray out;
    for (const ReplyPiece &p : drive.receive(bytes))
        out += p.bytes;
    return out;
}

} // namespace

class TestSim : public QObject {
    Q_OBJECT
private slots:
    void framesAreAssembledFromAnyPieces()
    {
        SimDrive drive;
        const QByteArray read = readFrame(300, 2);
        QVERIFY(drive.receive(read.left(2)).empty());
        QVERIFY(drive.receive(read.mid(2, 3)).empty());
        QCOMPARE(exchange(drive, read.mid(5)).size(), 13);

        // Two frames in one piece get two replies, in order.
        const QByteArray both = exchange(drive, readFrame(10, 1) + readFrame(300, 1));
        QCOMPARE(both.size(), 18);
        QCOMPARE(both.left(9), exchange(drive, readFrame(10, 1)));

        // A write-several frame needs its byte count before its length is known.
        const QByteArray block = writeSeveralFrame(300, {3, bitsOf(1.5f)});
        QVERIFY(drive.receive(block.left(6)).empty());
        QCOMPARE(exchange(drive, block.mid(6)), withCrc(hex("0110012C0002")));
    }

    void garbageIsSkippedAndLogged()
    {
        SimDrive drive;
        // A stray byte before a frame, a frame with a broken CRC before another: only the
        // good frames are answered, and what was thrown away is in the log.
        QByteArray broken = readFrame(300, 1);
        broken[7] = static_cast<char>(broken[7] ^ 0x01);
        const QByteArray out = exchange(drive, hex("55") + readFrame(10, 1) + broken + readFrame(27, 1));
        QCOMPARE(out, exchange(drive, readFrame(10, 1)) + exchange(drive, readFrame(27, 1)));

        const auto log = drive.traffic();
        QCOMPARE(log[0].direction, TrafficEntry::Discarded);
        QCOMPARE(log[0].bytes, hex("55"));
        QCOMPARE(log[1].direction, TrafficEntry::Request);
        QCOMPARE(log[3].direction, TrafficEntry::Discarded);
        QCOMPARE(log[3].bytes, broken);
        QCOMPARE(log[4].bytes, readFrame(27, 1));

        // A torn frame followed by a whole one: the whole one is found behind it.
        QCOMPARE(exchange(drive, readFrame(300, 1).left(5) + readFrame(10, 1)), exchange(drive, readFrame(10, 1)));
    }

    void otherStationsAndBadCrcGetSilence()
    {
        SimDrive drive(7);
        QVERIFY(drive.receive(readFrame(10, 1, 1)).empty());
        QByteArray bad = readFrame(10, 1, 7);
        bad[6] = static_cast<char>(bad[6] ^ 0xFF);
        QVERIFY(drive.receive(bad).empty());
        QVERIFY(drive.receive(writeFrame(304, bitsOf(12.5f), 8)).empty());
        QCOMPARE(drive.registerValue(304), 50.0); // the write for station 8 changed nothing
        QCOMPARE(drive.requests().size(), 2);     // both well-formed frames were on the wire
        QCOMPARE(exchange(drive, readFrame(10, 1, 7)).left(2), hex("0703"));
    }

    void eachRequestKindGetsItsReply_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("read whole") << readFrame(100, 1) << withCrc(hex("01030400000000"));
        QTest::newRow("read real") << readFrame(304, 1) << withCrc(hex("01030442480000"));
        QTest::newRow("read version") << readFrame(27, 1) << withCrc(hex("0103043F851EB8"));
        QTest::newRow("read station") << readFrame(117, 1) << withCrc(hex("01030400000001"));
        QTest::newRow("read I/O word") << readFrame(26, 1) << withCrc(hex("0103040200005C"));
        QTest::newRow("write one") << writeFrame(304, bitsOf(45.5f)) << writeFrame(304, bitsOf(45.5f));
        QTest::newRow("write several") << writeSeveralFrame(400, {bitsOf(1.5f), bitsOf(-2.5f), 0})
                                       << withCrc(hex("011001900003"));
        QTest::newRow("input control") << inputControlFrame(0x0FFE) << inputControlFrame(0x0FFE);
        QTest::newRow("jog on") << command(Command::JogOn) << command(Command::JogOn);
        QTest::newRow("programmed jog") << command(Command::ProgrammedJogMode2) << command(Command::ProgrammedJogMode2);
        QTest::newRow("alarm reset") << command(Command::AlarmReset) << command(Command::AlarmReset);
        QTest::newRow("history clear") << command(Command::AlarmHistoryClear) << command(Command::AlarmHistoryClear);
        QTest::newRow("present alarm") << command(Command::PresentAlarmRead) << withCrc(hex("01500400000000"));
        QTest::newRow("history") << command(Command::AlarmHistoryRead)
                                 << withCrc(hex("015028") + QByteArray(40, '\0'));
    }

    void eachRequestKindGetsItsReply()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        SimDrive drive;
        QCOMPARE(exchange(drive, request).toHex(' '), reply.toHex(' '));
    }

    void refusedRequestsGetExceptions_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("unknown register") << readFrame(5000, 1) << withCrc(hex("018302"));
        QTest::newRow("range runs past a block") << readFrame(119, 2) << withCrc(hex("018302"));
        QTest::newRow("count 0") << readFrame(100, 0) << withCrc(hex("018303"));
        QTest::newRow("count too large") << readFrame(100, 49) << withCrc(hex("018303"));
        QTest::newRow("status is read-only") << writeFrame(12, bitsOf(5.f)) << withCrc(hex("018602"));
        QTest::newRow("command register by write") << writeFrame(2101, 2) << withCrc(hex("018602"));
        QTest::newRow("above maximum") << writeFrame(304, bitsOf(1000.1f)) << withCrc(hex("018603"));
        QTest::newRow("negative whole") << writeFrame(117, 0xFFFF) << withCrc(hex("018603"));
        QTest::newRow("real into whole") << writeFrame(117, bitsOf(3.f)) << withCrc(hex("018603"));
        QTest::newRow("input control past 12 bits") << writeFrame(2000, 0x1000) << withCrc(hex("018603"));
        QTest::newRow("several, one bad") << writeSeveralFrame(300, {3, bitsOf(101.f)}) << withCrc(hex("019003"));
        QTest::newRow("several into status") << writeSeveralFrame(26, {0, 0}) << withCrc(hex("019002"));
        QTest::newRow("run without jog mode") << command(Command::JogClockwise) << withCrc(hex("01C604"));
        QTest::newRow("unknown function") << withCrc(hex("0105000A0001")) << withCrc(hex("018501"));
    }

    void refusedRequestsGetExceptions()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        SimDrive drive;
        QCOMPARE(exchange(drive, request).toHex(' '), reply.toHex(' '));
        // Refused means nothing changed.
        QCOMPARE(drive.registerValue(300), 1.0);
        QCOMPARE(drive.registerValue(304), 50.0);
        QCOMPARE(drive.station(), uint8_t(1));
        QCOMPARE(drive.jogDirection(), 0);
    }

    void stationChangesAfterTheReply()
    {
        SimDrive drive;
        QCOMPARE(exchange(drive, writeFrame(117, 5)), writeFrame(117, 5)); // answered as station 1
        QCOMPARE(drive.station(), uint8_t(5));
        QVERIFY(drive.receive(readFrame(117, 1, 1)).empty());
        QCOMPARE(exchange(drive, readFrame(117, 1, 5)), withCrc(hex("05030400000005")));

        // A block write of P1 carries the station too; its reply still comes from the old one.
        QList<uint32_t> p1;
        for (int a = 100; a < 120; ++a)
            p1 << drive.rawRegister(static_cast<uint16_t>(a));
        p1[17] = 9;
        QCOMPARE(exchange(drive, writeSeveralFrame(100, p1, 5)), withCrc(hex("051000640014")));
        QCOMPARE(drive.station(), uint8_t(9));
    }

    void initialisationRestoresDefaultsButKeepsTheStation()
    {
        SimDrive drive(3);
        exchange(drive, writeFrame(304, bitsOf(45.5f), 3));
        exchange(drive, writeFrame(700, 0, 3));
        exchange(drive, writeFrame(117, 12, 3));
        // Written as part of a block, the command is only data.
        exchange(drive, writeSeveralFrame(227, {0, 1}, 12));
        QCOMPARE(drive.registerValue(304), 45.5);

        QCOMPARE(exchange(drive, writeFrame(228, 1, 12)), writeFrame(228, 1, 12));
        QCOMPARE(drive.registerValue(304), 50.0);
        QCOMPARE(drive.registerValue(700), 1.0);
        QCOMPARE(drive.registerValue(228), 0.0);
        QCOMPARE(drive.station(), uint8_t(12));
    }

    void inputsAndOutputsMeetInRegister26()
    {
        SimDrive drive;
        QVERIFY(!drive.servoOn());
        // Bit i set means input i off: 0x0FFE switches only pin 0 (SVONEN) on.
        exchange(drive, inputControlFrame(0x0FFE));
        QCOMPARE(drive.inputs(), uint16_t(0x0001));
        QVERIFY(drive.servoOn());
        const QByteArray reply = exchange(drive, readFrame(26, 1));
        QCOMPARE(reply.mid(3, 2), hex("0001")); // D0 D1: the input half

        // With the ESTOP pin off the drive stops: the ALARM output (pin 6) drops and
        // the present alarm stays 0, which the tool shows as an emergency stop.
        QCOMPARE(drive.outputs() & (1 << 6), 0);
        QCOMPARE(exchange(drive, command(Command::PresentAlarmRead)), withCrc(hex("01500400000000")));

        QVERIFY(drive.setServoOn(false));
        QVERIFY(!drive.servoOn());
        // The servo-on input is whichever pin P7 assigns SVONEN to.
        exchange(drive, writeFrame(700, 0));
        exchange(drive, writeFrame(705, 1));
        drive.setInputs(1 << 5);
        QVERIFY(drive.servoOn());
        exchange(drive, writeFrame(705, 4));
        QVERIFY(!drive.servoOn());
        QVERIFY(!drive.setServoOn(true));

        drive.setRawRegister(26, 0x0002'0155);
        QCOMPARE(drive.inputs(), uint16_t(0x0002));
        QCOMPARE(exchange(drive, readFrame(26, 1)).mid(3, 4), hex("00020155"));
    }

    void alarmsResetAndHistory()
    {
        SimDrive drive;
        QVERIFY(!drive.raiseAlarm(0));
        QVERIFY(!drive.raiseAlarm(16));
        QVERIFY(drive.raiseAlarm(7));
        QVERIFY(drive.raiseAlarm(3));
        QCOMPARE(drive.outputs() & (1 << 6), 0);            // ALARM output off
        QCOMPARE(drive.outputs() & (0b11 << 7), 0b11 << 7); // A_CODE0, A_CODE1 on pins 7, 8 for 3
        QCOMPARE(exchange(drive, command(Command::PresentAlarmRead)), withCrc(hex("01500400000003")));
        QCOMPARE(exchange(drive, command(Command::AlarmHistoryRead)),
                 withCrc(hex("015028" "00000003" "00000007") + QByteArray(32, '\0')));

        exchange(drive, command(Command::AlarmReset));
        QCOMPARE(drive.presentAlarm(), 0);
        QCOMPARE(drive.outputs() & (1 << 6), 1 << 6);
        QCOMPARE(drive.alarmHistory(), (QList<int>{3, 7}));
        exchange(drive, command(Command::AlarmHistoryClear));
        QVERIFY(drive.alarmHistory().isEmpty());

        for (int i = 1; i <= 12; ++i)
            drive.raiseAlarm(i % 15 + 1);
        QCOMPARE(drive.alarmHistory().size(), SimDrive::kHistoryLength);
        QCOMPARE(drive.alarmHistory().first(), 12 % 15 + 1);

        // The ALMRST input clears the present alarm on its rising edge.
        drive.setInputs(static_cast<uint16_t>(drive.inputs() | (1 << 11)));
        QCOMPARE(drive.presentAlarm(), 0);
    }

    void theMotorFollowsJogAndPattern()
    {
        SimDrive drive;
        exchange(drive, writeFrame(1001, bitsOf(250.f)));
        exchange(drive, command(Command::JogOn));
        exchange(drive, command(Command::JogCounterClockwise));
        drive.advance(2000);
        QCOMPARE(drive.registerValue(11), -250.0);
        QCOMPARE(drive.registerValue(12), -250.0);
        QVERIFY(drive.registerValue(24) > 0); // the turn counter wraps, it never goes negative

        exchange(drive, command(Command::JogStop));
        drive.advance(2000);
        QCOMPARE(drive.registerValue(12), 0.0);
        exchange(drive, command(Command::JogOff));
        QVERIFY(!drive.jogMode());

        // Mode 1: 500 rpm for 2 s, then -500 rpm for 2 s, over and over.
        exchange(drive, command(Command::ProgrammedJogMode1));
        drive.advance(1500);
        QCOMPARE(drive.registerValue(12), 500.0);
        drive.advance(2000);
        QCOMPARE(drive.registerValue(12), -500.0);
        exchange(drive, command(Command::ProgrammedJogOff));
        drive.advance(2000);
        QCOMPARE(drive.registerValue(12), 0.0);

        // A value a test puts into a status register stays until the model changes it.
        drive.setRegister(12, 123.4);
        exchange(drive, readFrame(10, 18));
        QCOMPARE(float(drive.registerValue(12)), 123.4f);
    }

    void dropDelayCorruptAndRefuse()
    {
        SimDrive drive;
        drive.dropNextReplies(2);
        QVERIFY(drive.receive(writeFrame(304, bitsOf(10.f))).empty());
        QVERIFY(drive.receive(readFrame(304, 1)).empty());
        QCOMPARE(drive.registerValue(304), 10.0); // a dropped reply's request took effect
        QCOMPARE(exchange(drive, readFrame(304, 1)), withCrc(hex("01030441200000")));

        drive.corruptNextCrc(1);
        QByteArray r = exchange(drive, readFrame(304, 1));
        QVERIFY(!CrcMatches(reinterpret_cast<const uint8_t *>(r.constData()), r.size()));
        r = exchange(drive, readFrame(304, 1));
        QVERIFY(CrcMatches(reinterpret_cast<const uint8_t *>(r.constData()), r.size()));

        drive.exceptionNextReplies(1, 4);
        QCOMPARE(exchange(drive, writeFrame(304, bitsOf(20.f))), withCrc(hex("018604")));
        QCOMPARE(drive.registerValue(304), 10.0); // refused, so not carried out
        QCOMPARE(exchange(drive, writeFrame(304, bitsOf(20.f))), writeFrame(304, bitsOf(20.f)));

        drive.setSilent(true);
        QVERIFY(drive.receive(writeFrame(304, bitsOf(30.f))).empty());
        QCOMPARE(drive.registerValue(304), 20.0);
        drive.setSilent(false);

        drive.setReplyDelayMs(5);
        drive.delayNextReply(20);
        QCOMPARE(drive.receive(readFrame(10, 1)).front().delayUs, 25000);
        QCOMPARE(drive.receive(readFrame(10, 1)).front().delayUs, 5000);
    }

    void chunksStrayBytesAndPacing()
    {
        SimDrive drive;
        drive.setChunkSize(4);
        drive.injectStrayBytes(hex("AA"));
        auto pieces = drive.receive(readFrame(304, 1));
        QCOMPARE(pieces.size(), size_t(3));
        QCOMPARE(pieces[0].bytes, hex("AA010304"));
        QCOMPARE(pieces[0].delayUs, 0);
        QVERIFY(pieces[1].delayUs > 0); // apart, so a pseudo-terminal keeps them apart
        QCOMPARE(pieces[0].bytes + pieces[1].bytes + pieces[2].bytes, hex("AA") + withCrc(hex("01030442480000")));
        QCOMPARE(drive.replies().last(), hex("AA") + withCrc(hex("01030442480000")));
        QCOMPARE(drive.receive(readFrame(304, 1)).front().bytes, hex("01030442")); // stray bytes go once

        // At 9600 baud the 8 request and 9 reply bytes take 17 x 10 / 9600 s.
        drive.setChunkSize(0);
        drive.setPacingBaud(9600);
        pieces = drive.receive(readFrame(304, 1));
        QCOMPARE(pieces.size(), size_t(1));
        QVERIFY(qAbs(pieces[0].delayUs - 17708) <= 1);
        drive.setChunkSize(5);
        pieces = drive.receive(readFrame(304, 1));
        QVERIFY(qAbs(pieces[0].delayUs - 13 * 10e6 / 9600) <= 1);
        QVERIFY(qAbs(pieces[1].delayUs - 4 * 10e6 / 9600) <= 1);
    }

    void trafficLogKeepsOrder()
    {
        SimDrive drive;
        exchange(drive, readFrame(10, 1));
        exchange(drive, writeFrame(304, bitsOf(1.f)));
        const auto log = drive.traffic();
        QCOMPARE(log.size(), size_t(4));
        QCOMPARE(log[0].direction, TrafficEntry::Request);
        QCOMPARE(log[1].direction, TrafficEntry::Reply);
        QVERIFY(log[2].atUs >= log[0].atUs);
        QCOMPARE(drive.requests(), (QList<QByteArray>{readFrame(10, 1), writeFrame(304, bitsOf(1.f))}));
        QCOMPARE(drive.replies().last(), writeFrame(304, bitsOf(1.f)));
        drive.clearTraffic();
        QVERIFY(drive.traffic().empty());
    }

    void simulatedPortDeliversLaterInPieces()
    {
        auto drive = std::make_shared<SimDrive>();
        SimulatedPort port(drive);
        QVERIFY(port.open());
        QCOMPARE(port.portName(), QStringLiteral("Simulated VD-840"));
        drive->setChunkSize(4);
        QSignalSpy available(&port, &DrivePort::dataAvailable);
        const QByteArray request = readFrame(300, 2);
        port.send(reinterpret_cast<const quint8 *>(request.constData()), request.size());
        QCOMPARE(port.bytesWaiting(), 0); // nothing arrives during send()

        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += port.readAll()).size() == 13, 2000);
        QCOMPARE(available.count(), 4);
        QCOMPARE(got, exchange(*drive, request));

        // Discarding drops what has arrived; what is still on the line keeps coming.
        drive->setChunkSize(0);
        drive->setReplyDelayMs(20);
        port.send(reinterpret_cast<const quint8 *>(request.constData()), request.size());
        port.discardInput();
        QVERIFY(available.wait(2000));
        QCOMPARE(port.readAll().size(), 13);

        QSignalSpy lost(&port, &DrivePort::deviceLost);
        port.simulateUnplug();
        QCOMPARE(lost.count(), 1);
        available.clear();
        port.send(reinterpret_cast<const quint8 *>(request.constData()), request.size());
        QVERIFY(!available.wait(100));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
