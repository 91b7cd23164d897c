// The exchange, its one-second wait and the link-failure count; the value write with its
// guard and read-back; exchanges made from a worker thread.
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include "ReplyBuilder.h"
#include "ScriptedPort.h"
#include "link/DriveSession.h"
#include "link/MessageService.h"
#include "link/Receiver.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/ParamTransactions.h"

using namespace velmora;

namespace {

struct Rig {
    ScriptedPort port;
    RecordingMessageService messages;
    DriveSession session{&port, &messages};
    TThread_Receive receiver{session};

    explicit Rig(int waitMs = 60)
    {
        QObject::connect(&port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);
        session.req.stationNumber = 1;
        session.responseWaitMs = waitMs;
    }
};

uint16_t registerOf(const QByteArray &frame) { return uint16_t((uint8_t(frame[2]) << 8) | uint8_t(frame[3])); }
uint16_t countOf(const QByteArray &frame) { return uint16_t((uint8_t(frame[4]) << 8) | uint8_t(frame[5])); }

// A drive with the twelve input assignments given, input bits, and a store of values.
struct FakeDrive {
    QList<float> inputFunctions{1, 9, 10, 11, 3, 4, 13, 14, 12, 16, 15, 19};
    uint16_t inputs = 0;
    QMap<uint16_t, float> values;
    bool silent = false;

    void attach(ScriptedPort &port)
    {
        port.onSend = [this, &port](const QByteArray &f) {
            if (silent)
                return;
            if (f[1] == 3) {
                const uint16_t reg = registerOf(f), n = countOf(f);
                if (reg == 700 && n == 12)
                    port.deliverLater(readReply(1, inputFunctions, true), 0);
                else if (reg == 26 && n == 1)
                    port.deliverLater(ioReply(1, inputs, 0), 0);
                else {
                    QList<float> v;
                    for (uint16_t i = 0; i < n; ++i)
                        v << values.value(uint16_t(reg + i));
                    port.deliverLater(readReply(1, v), 0);
                }
            } else if (f[1] == 6) {
                const uint32_t bits = (uint32_t(uint8_t(f[4])) << 24) | (uint32_t(uint8_t(f[5])) << 16)
                    | (uint32_t(uint8_t(f[6])) << 8) | uint8_t(f[7]);
                float v;
                if (bits >> 16 == 0)
                    v = float(bits);
                else
                    std::memcpy(&v, &bits, 4);
                values[registerOf(f)] = v;
                port.deliverLater(f, 0);
            }
        };
    }
};

} // namespace

class TestTransactions : public QObject {
    Q_OBJECT
private slots:
    void silentWaitsMakeALinkFailure()
    {
        Rig r;
        ReadRegisters(r.session, 10, 18);
        ReadRegisters(r.session, 10, 18);
        QCOMPARE(r.session.link.timeoutCount.load(), 2);
        QCOMPARE(int(r.session.link.linkFailed), 0);
        QCOMPARE(r.port.outputDiscards, 0);

        // A signalled wait clears both.
        r.port.onSend = [&r](const QByteArray &) { r.port.deliverLater(readReply(1, QList<float>(18, 1.f)), 0); };
        QCOMPARE(ReadRegisters(r.session, 10, 18).outcome, ReplyOutcome::Good);
        QCOMPARE(r.session.link.timeoutCount.load(), 0);
        QCOMPARE(int(r.session.link.linkFailed), 0);

        r.port.onSend = nullptr;
        for (int i = 0; i < 3; ++i)
            QCOMPARE(ReadRegisters(r.session, 10, 18).outcome, ReplyOutcome::NoReply);
        QCOMPARE(int(r.session.link.linkFailed), 1);
        QCOMPARE(r.port.outputDiscards, 1);
        ReadRegisters(r.session, 10, 18);
        QCOMPARE(r.port.outputDiscards, 2); // every further silent wait discards again
        QCOMPARE(r.session.link.timeoutCount.load(), 4);
    }

    void lostReplyLeavesValuesAndCostsTheWait()
    {
        Rig r(200);
        r.session.reply.decodedValues[1] = 12.5f;
        QElapsedTimer t;
        t.start();
        QCOMPARE(ReadRegisters(r.session, 300, 1).outcome, ReplyOutcome::NoReply);
        const qint64 took = t.elapsed();
        QVERIFY2(took >= 195 && took < 400, qPrintable(QString::number(took)));
        QCOMPARE(r.session.reply.decodedValues[1], 12.5f);
    }

    void lateReplyNeverAnswersTheNextRequest()
    {
        Rig r(100);
        // The first read's reply comes 150 ms late; the second read is answered 100 ms after
        // it was sent, so the late reply lands inside the second read's wait.
        int n = 0;
        r.port.onSend = [&](const QByteArray &) {
            if (n++ == 0)
                r.port.deliverLater(readReply(1, {111.f}), 150);
            else
                r.port.deliverLater(readReply(1, {2.f, 3.f}), 100);
        };
        QCOMPARE(ReadRegisters(r.session, 300, 1).outcome, ReplyOutcome::NoReply);
        QCOMPARE(ReadRegisters(r.session, 400, 2).outcome, ReplyOutcome::Good);
        QCOMPARE(r.session.reply.decodedValues[1], 2.f);
        QCOMPARE(r.session.reply.decodedValues[2], 3.f);

        // Same shape, but the late reply arrives before the next request is sent: dropped.
        n = 0;
        r.port.onSend = [&](const QByteArray &) {
            if (n++ == 0)
                r.port.deliverLater(readReply(1, {111.f}), 130);
            else
                r.port.deliverLater(readReply(1, {5.f}), 20);
        };
        QCOMPARE(ReadRegisters(r.session, 300, 1).outcome, ReplyOutcome::NoReply);
        QTest::qWait(60);
        QCOMPARE(ReadRegisters(r.session, 300, 1).outcome, ReplyOutcome::Good);
        QCOMPARE(r.session.reply.decodedValues[1], 5.f);
    }

    void valueWriteSendsWordsAndShowsReadBack()
    {
        Rig r;
        FakeDrive drive;
        drive.attach(r.port);
        QString shown;
        const TParamDef &p209 = P2Defs[9]; // P2-10, whole 0..2
        const auto result = ValueWrite(r.session, p209, QStringLiteral("2"), false, [&](const QString &t) { shown = t; });
        QCOMPARE(result.status, ValueWriteResult::Written);
        QCOMPARE(r.port.sent.size(), 2);
        QCOMPARE(r.port.sent[0].left(8), QByteArray::fromHex("010600D100000002"));
        QCOMPARE(r.port.sent[1].left(6), QByteArray::fromHex("010300D10001"));
        QCOMPARE(shown, QStringLiteral("2"));
        QVERIFY(r.messages.shown.isEmpty());

        // A real value goes as its single-precision pattern.
        ValueWrite(r.session, P2Defs[2], QStringLiteral("150.5"), false, [&](const QString &t) { shown = t; });
        QCOMPARE(r.port.sent[2].left(8), QByteArray::fromHex("010600CA43168000"));
        QCOMPARE(shown, QStringLiteral("150.5"));
    }

    void refusedValuesSendNothing()
    {
        Rig r;
        FakeDrive drive;
        drive.attach(r.port);
        QString shown = QStringLiteral("old");
        for (const char *text : {"", "abc", "12.5", "-1", "3"}) {
            const auto res = ValueWrite(r.session, P2Defs[9], QString::fromLatin1(text), false,
                                        [&](const QString &t) { shown = t; });
            QCOMPARE(res.status, ValueWriteResult::WrongParameter);
        }
        QVERIFY(r.port.sent.isEmpty());
        QCOMPARE(r.messages.shown.size(), 5);
        QCOMPARE(r.messages.shown.first(), QStringLiteral("Wrong parameter"));
        QCOMPARE(shown, QStringLiteral("old"));
    }

    void guardRefusesWhileServoOn()
    {
        Rig r;
        FakeDrive drive;
        drive.inputs = 0x0001; // pin 0 carries SVONEN and is active
        drive.attach(r.port);
        const auto res = ValueWrite(r.session, P1Defs[1], QStringLiteral("1.5"), true, nullptr);
        QCOMPARE(res.status, ValueWriteResult::ServoOn);
        QCOMPARE(r.port.sent.size(), 2);
        QCOMPARE(r.port.sent[0].left(6), QByteArray::fromHex("010302BC000C"));
        QCOMPARE(r.port.sent[1].left(6), QByteArray::fromHex("0103001A0001"));
        QCOMPARE(r.messages.shown, QStringList{QStringLiteral("Servo On!!")});
        QCOMPARE(int(r.session.link.InFunc[9]), 16);
        QCOMPARE(r.session.link.inputFunctionTexts[0], QStringLiteral("1"));

        // Servo off on that pin: the write goes ahead. SVONEN moved to pin 3 decides now.
        drive.inputs = 0x0001;
        drive.inputFunctions[0] = 9;
        drive.inputFunctions[3] = 1;
        const auto ok = ValueWrite(r.session, P1Defs[1], QStringLiteral("1.5"), true, nullptr);
        QCOMPARE(ok.status, ValueWriteResult::Written);
        QCOMPARE(r.port.sent.size(), 2 + 4);
    }

    void guardWithoutRepliesRefuses()
    {
        // The guard's reads unanswered: the values in hand are not the drive's, so no write.
        Rig r;
        const auto res = ValueWrite(r.session, P1Defs[1], QStringLiteral("1.5"), true, nullptr);
        QCOMPARE(res.status, ValueWriteResult::GuardUnanswered);
        QCOMPARE(r.port.sent.size(), 1);
        QVERIFY(r.port.sent[0][1] == 3);
        // Not "Servo On!!": the servo is not known to be on; the drive did not answer.
        QCOMPARE(r.messages.shown, QStringList{QString::fromLatin1(texts::GuardUnanswered)});
    }

    void lostReadBackEmptiesTheDisplayAndSaysSo()
    {
        Rig r;
        r.session.reply.decodedValues[1] = 777.f; // some earlier read's value
        r.port.onSend = [&r](const QByteArray &f) {
            if (f[1] == 6)
                r.port.deliverLater(f, 0);
        };
        QString shown = QStringLiteral("12");
        const auto res = ValueWrite(r.session, P2Defs[9], QStringLiteral("1"), false, [&](const QString &t) { shown = t; });
        QCOMPARE(res.write, ReplyOutcome::Good);
        QCOMPARE(res.readBack, ReplyOutcome::NoReply);
        // The drive may hold the new value or the old: the box shows neither.
        QCOMPARE(shown, QString());
        QCOMPARE(r.messages.shown, QStringList{QString::fromLatin1(texts::ValueUnconfirmed).arg(QStringLiteral("P2-10"))});
    }

    void commandsAreAcknowledgedOrNot()
    {
        Rig r;
        r.port.onSend = [&r](const QByteArray &f) { r.port.deliverLater(f, 0); };
        QVERIFY(CommandExchange(r.session, Command::AlarmReset));
        QCOMPARE(r.port.sent.last(), QByteArray(reinterpret_cast<const char *>(BuildCommandFrame(Command::AlarmReset, 1).data()), 10));
        // 201 is the drive's refusal of function 73: recognised at once, not waited out.
        r.port.onSend = [&r](const QByteArray &) { r.port.deliverLater(withCrc(QByteArray::fromHex("01C903")), 0); };
        QElapsedTimer clock;
        clock.start();
        const ExchangeResult refused = CommandExchange(r.session, Command::AlarmReset);
        QCOMPARE(refused.outcome, ReplyOutcome::Rejected);
        QCOMPARE(int(refused.exceptionCode), 3);
        QVERIFY(clock.elapsed() < r.session.responseWaitMs);
        r.port.onSend = [&r](const QByteArray &) { r.port.deliverLater(withCrc(QByteArray::fromHex("01C503")), 0); };
        const ExchangeResult unknown = CommandExchange(r.session, Command::AlarmReset);
        QVERIFY(!unknown); // an unknown code: no release
        QCOMPARE(unknown.outcome, ReplyOutcome::NoReply);
    }

    void exchangesFromAWorkerThread()
    {
        Rig r;
        FakeDrive drive;
        drive.values[300] = 4.f;
        drive.values[301] = 5.5f;
        drive.attach(r.port);
        ReplyOutcome outcome = ReplyOutcome::NoReply;
        float a = 0, b = 0;
        bool onWorker = false;
        QThread *worker = QThread::create([&] {
            onWorker = !r.session.onUiThread();
            ExchangeResult last;
            for (int i = 0; i < 50; ++i)
                last = ReadRegisters(r.session, 300, 2);
            outcome = last.outcome;
            a = last.value(1);
            b = last.value(2);
        });
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
        delete worker;
        QVERIFY(onWorker);
        QCOMPARE(outcome, ReplyOutcome::Good);
        QCOMPARE(a, 4.f);
        QCOMPARE(b, 5.5f);
        QCOMPARE(r.port.sent.size(), 50);

        // And a worker's silent wait takes its full time too, without blocking the loop.
        r.port.onSend = nullptr;
        worker = QThread::create([&] { outcome = ReadRegisters(r.session, 300, 2).outcome; });
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 5000);
        delete worker;
        QCOMPARE(outcome, ReplyOutcome::NoReply);
    }
};

QTEST_MAIN(TestTransactions)
#include "tst_transactions.moc"
