// The status poller against the simulated drive: the frames of a cycle, what the main
// window shows, the lamp-label rules, link failure, CRC errors and child windows.
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>

#include "MainRig.h"
#include "ReplyBuilder.h"
#include "link/FrameCodec.h"
#include "link/Texts.h"
#include "widgets/ALed.h"

using namespace velmora;

namespace {

QByteArray commandFrame(Command c)
{
    const CommandFrame f = BuildCommandFrame(c, 1);
    return QByteArray(reinterpret_cast<const char *>(f.data()), int(f.size()));
}

QString text(MainRig &rig, const char *name) { return rig.main.findChild<QLabel *>(QLatin1String(name))->text(); }
bool lit(MainRig &rig, const char *name) { return rig.main.findChild<ThhALed *>(QLatin1String(name))->value(); }

} // namespace

class TestPoller : public QObject {
    Q_OBJECT
private slots:
    void aCycleOnTheWireAndOnTheScreen()
    {
        MainRig rig;
        rig.drive->setRegister(12, 1234.56); // St-03, tenths
        rig.drive->setRegister(15, 65535);   // St-06, a signed pulse count
        rig.usePort(1);
        rig.drive->clearTraffic();
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.waitPollCycles(2));
        rig.main.stopPoller();

        // The ALARM output is on (no alarm), so a cycle is four reads.
        const QList<QByteArray> cycle{readFrame(800, 10), readFrame(700, 12), readFrame(10, 18), readFrame(26, 1)};
        const QList<QByteArray> sent = rig.drive->requests();
        // The very first cycle reads the present alarm: AlarmOutState starts at 0.
        QCOMPARE(sent.mid(0, 5), QList<QByteArray>(cycle) << commandFrame(Command::PresentAlarmRead));
        QCOMPARE(sent.mid(5, 4), cycle);

        QCOMPARE(text(rig, "STextSt_03"), QStringLiteral("1234.6"));
        QCOMPARE(text(rig, "STextSt_06"), QStringLiteral("-1"));
        QCOMPARE(text(rig, "STextSt_18"), QStringLiteral("1.04"));
        QCOMPARE(text(rig, "STextALS_01"), QStringLiteral("Normal"));
        QVERIFY(!lit(rig, "LED_ALARM_1"));
        QVERIFY(!lit(rig, "LED_POWER"));
        QVERIFY(lit(rig, "LED_ALARM")); // pin 6 carries ALARM by default
    }

    void servoAndAlarmFollowTheirPins()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.drive->setServoOn(true));
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.waitPollCycles(3));
        QVERIFY(lit(rig, "LED_SOVOEN_1"));
        QVERIFY(lit(rig, "LED_SVONEN"));

        QVERIFY(rig.drive->raiseAlarm(3));
        QTRY_COMPARE_WITH_TIMEOUT(text(rig, "STextALS_01"), QStringLiteral("OVER LOAD"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(lit(rig, "LED_ALARM_1"), 5000);
        QCOMPARE(int(rig.main.monitor().PresentAlarmCode), 0x03);
        rig.button("btnALS_Detail")->click();
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.messages.shown.first().startsWith(QStringLiteral("발생원인 : 기계적 과부하")));
        QVERIFY(rig.messages.shown.first().contains(QStringLiteral("\r\r조치사항 : ")));
    }

    void theHigherPinDecides()
    {
        MainRig rig;
        rig.usePort(1);
        rig.drive->setRegister(702, 1); // P7-03 carries SVONEN too
        const uint16_t estop = 1u << 9; // keep the emergency stop contact closed
        rig.drive->setInputs(estop | 0x0001); // pin 0 on, pin 2 off
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.waitPollCycles(3));
        QVERIFY(!lit(rig, "LED_SOVOEN_1"));
        rig.drive->setInputs(estop | 0x0004); // pin 0 off, pin 2 on
        QVERIFY(rig.waitPollCycles(3));
        QVERIFY(lit(rig, "LED_SOVOEN_1"));
    }

    void labelsRefreshOnlyAfterATrigger()
    {
        MainRig rig;
        rig.usePort(1);
        rig.drive->setRegister(701, 16); // P7-02: ESTOP
        rig.drive->setRegister(800, 25); // P8-01: SETUP1, above 18
        rig.drive->setRegister(801, 7);  // P8-02: RDY
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.waitPollCycles(3));
        QCOMPARE(text(rig, "Lbl_Input_02"), QStringLiteral("ESTOP"));
        // P8-01 above 18: the output labels keep their texts.
        QCOMPARE(text(rig, "Lbl_Output_01"), QStringLiteral("BRAKE"));

        // Changed on the drive's panel: no new label until the next trigger.
        rig.drive->setRegister(701, 9);
        rig.drive->setRegister(800, 18);
        QVERIFY(rig.waitPollCycles(2));
        QCOMPARE(text(rig, "Lbl_Input_02"), QStringLiteral("ESTOP"));
        rig.main.startWatchdog(); // Confirm in the on-line dialog
        QVERIFY(rig.waitPollCycles(2));
        QCOMPARE(text(rig, "Lbl_Input_02"), QStringLiteral("SPD1"));
        QCOMPARE(text(rig, "Lbl_Output_01"), QStringLiteral("RDY"));
        QCOMPARE(text(rig, "Lbl_Output_10"), QStringLiteral("A_CODE3"));
    }

    void labelsForUnknownNumbers()
    {
        QCOMPARE(InputFunctionLabel(31), QStringLiteral("31"));
        QCOMPARE(OutputFunctionLabel(255), QStringLiteral("255"));
        QCOMPARE(AlarmLabel(16), QStringLiteral("ALARM 16"));
        QCOMPARE(AlarmLabel(7), QStringLiteral("FOLLOW ERR"));
    }

    void threeSilentReadsEndThePolling()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.waitPollCycles(1));
        rig.drive->setSilent(true);
        // Reported by the connection once the poller has finished.
        QTRY_VERIFY_WITH_TIMEOUT(rig.main.poller()->isFinished() && !rig.messages.shown.isEmpty(), 5000);
        QCOMPARE(rig.messages.shown, QStringList{QString::fromLatin1(texts::CheckComport)});
        QVERIFY(rig.button("BtnON_Line")->isEnabled());
        QVERIFY(!rig.button("BtnOFF_LINE")->isEnabled());
        QVERIFY(rig.main.port().isOpen());
        QCOMPARE(rig.main.session().link.linkFailed.load(), uint8_t(0));
    }

    void sevenBadRepliesGoOffLine()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.waitPollCycles(1));
        rig.drive->corruptNextCrc(7);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.main.port().isOpen(), 5000);
        QCOMPARE(rig.messages.shown, QStringList{QString::fromLatin1(texts::CrcErrorLimit)});
        QVERIFY(!rig.main.pollerRunning());
        QVERIFY(rig.button("BtnON_Line")->isEnabled());
        QVERIFY(!rig.button("btnP1")->isEnabled());
    }

    void childWindowsLeaveExactlyOnePoller()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        for (int i = 0; i < 10; ++i) {
            QVERIFY(rig.waitPollCycles(1));
            QWidget *child = rig.main.childWindows().open([&] { return new QWidget(&rig.main, Qt::Window); });
            QVERIFY(rig.main.poller() == nullptr);
            QVERIFY(!rig.main.isEnabled());
            // Nothing goes on the wire while the child holds the link.
            rig.drive->clearTraffic();
            QTest::qWait(20);
            QVERIFY(rig.drive->requests().isEmpty());
            child->close();
            QTRY_VERIFY(rig.main.poller() != nullptr);
            QVERIFY(rig.main.isEnabled());
        }
        QCOMPARE(rig.main.pollersStarted(), 11);
        QVERIFY(rig.main.poller()->isRunning());
    }
};

QTEST_MAIN(TestPoller)
#include "tst_poller.moc"
