// The drive link against the simulated drive: exact frames on the wire for the value write
// and its guard, a late reply that must not answer the next request, and replies that
// arrive torn, refused or not at all.
#include <QElapsedTimer>
#include <QTest>

#include <memory>

#include "ReplyBuilder.h"
#include "SimLinkRig.h"
#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/DriveSession.h"
#include "link/FrameCodec.h"
#include "link/MessageService.h"
#include "link/Receiver.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/ParamTransactions.h"
#include "params/Catalogue.h"
#include "params/DisplayRules.h"

using namespace velmora;

namespace {

using Rig = SimLinkRig;

} // namespace

class TestLinkSim : public QObject {
    Q_OBJECT
private slots:
    void guardedWriteWithServoOnSendsOnlyTheGuardReads()
    {
        Rig rig;
        QVERIFY(rig.drive->setServoOn(true));
        const float before = float(rig.drive->registerValue(101));
        QString shown = QStringLiteral("untouched");
        const ValueWriteResult r = ValueWrite(rig.session, P1Defs[1], QStringLiteral("1.5"), true,
                                              [&](const QString &t) { shown = t; });
        QCOMPARE(r.status, ValueWriteResult::ServoOn);
        QCOMPARE(rig.messages.shown, QStringList{QString::fromLatin1(texts::ServoOn)});
        QCOMPARE(rig.drive->requests(), (QList<QByteArray>{readFrame(700, 12), readFrame(26, 1)}));
        QCOMPARE(float(rig.drive->registerValue(101)), before);
        QCOMPARE(shown, QStringLiteral("untouched"));
        QCOMPARE(rig.session.link.servoOnFlag, uint8_t(1));
    }

    void guardedWriteWithServoOffWritesAndReadsBack()
    {
        Rig rig;
        QVERIFY(rig.drive->setServoOn(false));
        QString shown;
        const ValueWriteResult r = ValueWrite(rig.session, P1Defs[1], QStringLiteral("1.5"), true,
                                              [&](const QString &t) { shown = t; });
        QCOMPARE(r.status, ValueWriteResult::Written);
        QCOMPARE(r.readBack, ReplyOutcome::Good);
        const QList<QByteArray> sent = rig.drive->requests();
        QCOMPARE(sent.size(), 4);
        QCOMPARE(sent[0], readFrame(700, 12));
        QCOMPARE(sent[1], readFrame(26, 1));
        QCOMPARE(sent[2].toHex(), QByteArray("010600653fc00000").append(sent[2].right(2).toHex()));
        QVERIFY(CrcMatches(reinterpret_cast<const uint8_t *>(sent[2].constData()), int(sent[2].size())));
        QCOMPARE(sent[3], readFrame(101, 1));
        QCOMPARE(shown, QStringLiteral("1.5"));
        QCOMPARE(rig.drive->registerValue(101), 1.5);
        QVERIFY(rig.messages.shown.isEmpty());
        // The guard also keeps the pin texts the poller shares.
        QCOMPARE(rig.session.link.inputFunctionTexts.value(0), QStringLiteral("1"));
        QCOMPARE(rig.session.link.InFunc[0], uint8_t(1));
    }

    void wholeValueWriteSendsItsLowWord()
    {
        Rig rig;
        QString shown;
        // P2-18, a whole value written without the guard.
        const ValueWriteResult r = ValueWrite(rig.session, P2Defs[17], QStringLiteral("7"), false,
                                              [&](const QString &t) { shown = t; });
        QCOMPARE(r.status, ValueWriteResult::Written);
        QCOMPARE(rig.drive->requests().value(0).left(8).toHex(), QByteArray("010600d900000007"));
        QCOMPARE(shown, QStringLiteral("7"));
        // Out of range: nothing goes on the wire.
        rig.drive->clearTraffic();
        const ValueWriteResult refused = ValueWrite(rig.session, P2Defs[17], QStringLiteral("20"), false,
                                                    [&](const QString &t) { shown = t; });
        QCOMPARE(refused.status, ValueWriteResult::WrongParameter);
        QVERIFY(rig.drive->requests().isEmpty());
        QCOMPARE(rig.messages.shown.last(), QString::fromLatin1(texts::WrongParameter));
    }

    void lateReplyNeverAnswersTheNextRequest()
    {
        Rig rig; // the full one-second wait: the reply comes 100 ms after it has ended
        QVERIFY(rig.drive->setRegister(300, 3));
        QVERIFY(rig.drive->setRegister(304, 45.5));
        QVERIFY(rig.drive->setRegister(305, 12.5));
        rig.drive->delayNextReply(1100);

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(ReadRegisters(rig.session, 300, 1).outcome, ReplyOutcome::NoReply);
        const qint64 firstWait = clock.elapsed();
        QVERIFY2(firstWait >= 990 && firstWait < 2000, qPrintable(QString::number(firstWait)));
        QCOMPARE(rig.session.link.timeoutCount.load(), 1);

        // The next request goes out at once; the late reply lands in the middle of its wait.
        // The wait must go on to the request's own reply and show P3-05 and P3-06.
        rig.session.reply.decodedValues[1] = -1;
        QCOMPARE(ReadRegisters(rig.session, 304, 2).outcome, ReplyOutcome::Good);
        QCOMPARE(rig.session.reply.decodedValues[1], 45.5f);
        QCOMPARE(rig.session.reply.decodedValues[2], 12.5f);
        QCOMPARE(rig.session.link.timeoutCount.load(), 0);
        QCOMPARE(rig.drive->replies().size(), 2);

        // A late reply that has landed before the next request is sent is thrown away
        // with the stale input, even when it has the same shape as the next reply.
        rig.drive->delayNextReply(1100);
        const quint64 seen = rig.session.reply.bytesSeen;
        QCOMPARE(ReadRegisters(rig.session, 300, 1).outcome, ReplyOutcome::NoReply);
        QTRY_COMPARE_WITH_TIMEOUT(rig.session.reply.bytesSeen, seen + 9, 1000);
        QCOMPARE(ReadRegisters(rig.session, 304, 1).outcome, ReplyOutcome::Good);
        QCOMPARE(rig.session.reply.decodedValues[1], 45.5f);
    }

    void tornRefusedAndLostReplies()
    {
        Rig rig;
        rig.session.responseWaitMs = 80;
        rig.drive->setChunkSize(1);
        QCOMPARE(ReadRegisters(rig.session, 10, 18).outcome, ReplyOutcome::Good);
        QCOMPARE(FormatRecordValue(StDefs[17], rig.session.reply.decodedValues[18]), QStringLiteral("1.04"));
        rig.drive->setChunkSize(0);

        // A register the drive does not have is refused: the refusal ends the wait.
        QCOMPARE(ReadRegisters(rig.session, 5000, 1).outcome, ReplyOutcome::Rejected);

        // A corrupted reply releases the wait without values.
        rig.session.reply.decodedValues[1] = -7;
        rig.drive->corruptNextCrc(1);
        QCOMPARE(ReadRegisters(rig.session, 304, 1).outcome, ReplyOutcome::Bad);
        QCOMPARE(rig.session.reply.decodedValues[1], -7.0f);

        // Three lost replies in a row make a link failure; a good reply clears it.
        rig.drive->dropNextReplies(3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(ReadRegisters(rig.session, 304, 1).outcome, ReplyOutcome::NoReply);
        QCOMPARE(rig.session.link.linkFailed.load(), uint8_t(1));
        QCOMPARE(ReadRegisters(rig.session, 304, 1).outcome, ReplyOutcome::Good);
        QCOMPARE(rig.session.link.linkFailed.load(), uint8_t(0));
    }

    void commandsAgainstTheDrive()
    {
        Rig rig;
        QVERIFY(CommandExchange(rig.session, Command::JogOn));
        QVERIFY(rig.drive->jogMode());
        rig.drive->setSilent(true);
        rig.session.responseWaitMs = 50;
        QVERIFY(!CommandExchange(rig.session, Command::JogOff));
        rig.drive->setSilent(false);
        QVERIFY(CommandExchange(rig.session, Command::JogOff));
        QVERIFY(!rig.drive->jogMode());
    }
};

QTEST_GUILESS_MAIN(TestLinkSim)
#include "tst_link_sim.moc"
