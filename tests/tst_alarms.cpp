// The alarm commands of the main window against the simulated drive: the frames, what the
// present-alarm box and the history list show, and refused or lost replies.
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include <limits>

#include "MainRig.h"
#include "link/FrameCodec.h"
#include "monitor/StatusPoller.h"
#include "params/DisplayRules.h"

using namespace velmora;

namespace {

QByteArray commandFrame(Command c)
{
    const CommandFrame f = BuildCommandFrame(c, 1);
    return QByteArray(reinterpret_cast<const char *>(f.data()), int(f.size()));
}

QString present(MainRig &rig) { return rig.main.findChild<QLabel *>(QStringLiteral("STextALS_01"))->text(); }

QStringList historyLines(MainRig &rig)
{
    QStringList lines;
    auto *list = rig.main.findChild<QListWidget *>(QStringLiteral("ListBoxALS03"));
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

void onLine(MainRig &rig)
{
    rig.usePort(1);
    QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
}

} // namespace

class TestAlarms : public QObject {
    Q_OBJECT
private slots:
    void resetAcknowledgedAndRefused()
    {
        MainRig rig;
        onLine(rig);
        QVERIFY(rig.drive->raiseAlarm(3));
        QTRY_COMPARE_WITH_TIMEOUT(present(rig), QStringLiteral("OVER LOAD"), 5000);

        // Refused: one message, the alarm stays shown, the poller comes back.
        rig.main.stopPoller();
        rig.drive->exceptionNextReplies(1, 4);
        rig.button("btnALS_02")->click();
        QCOMPARE(rig.messages.shown, QStringList{"Instruction fail. Try again"});
        QCOMPARE(present(rig), QStringLiteral("OVER LOAD"));
        QCOMPARE(rig.drive->presentAlarm(), 3);
        QVERIFY(rig.main.poller() && rig.main.poller()->isRunning());

        // Acknowledged: the reset and then the present-alarm read, which finds alarm 0.
        rig.main.stopPoller();
        rig.drive->clearTraffic();
        rig.button("btnALS_02")->click();
        QCOMPARE(rig.drive->requests().mid(0, 2),
                 (QList<QByteArray>{commandFrame(Command::AlarmReset), commandFrame(Command::PresentAlarmRead)}));
        QCOMPARE(rig.drive->presentAlarm(), 0);
        QCOMPARE(rig.messages.shown.size(), 1);
        QCOMPARE(rig.main.pollerPriority(), QThread::NormalPriority);
        // The restarted poller reads the ALARM output and settles on "Normal".
        QTRY_COMPARE_WITH_TIMEOUT(present(rig), QStringLiteral("Normal"), 5000);
    }

    void historyDisplayAndReset()
    {
        MainRig rig;
        onLine(rig);
        QVERIFY(historyLines(rig).isEmpty());
        QVERIFY(rig.drive->raiseAlarm(7));
        QVERIFY(rig.drive->raiseAlarm(3));

        rig.button("btnALS_03")->click();
        rig.button("btnALS_03")->click();
        QStringList expected{"OVER LOAD", "FOLLOW ERR"};
        while (expected.size() < 10)
            expected << QStringLiteral("Normal");
        QCOMPARE(historyLines(rig), expected);
        QCOMPARE(rig.main.alarmHistory().HistoryFillFlag, uint8_t(0));

        // A refused clear: after the pause the old history comes back.
        rig.main.stopPoller();
        rig.drive->exceptionNextReplies(1, 4);
        rig.button("btnALS_04")->click();
        QCOMPARE(rig.messages.shown, QStringList{"Instruction fail. Try again"});
        QCOMPARE(historyLines(rig), expected);

        rig.main.stopPoller();
        rig.drive->clearTraffic();
        rig.button("btnALS_04")->click();
        QCOMPARE(rig.drive->requests().mid(0, 2), (QList<QByteArray>{commandFrame(Command::AlarmHistoryClear),
                                                                     commandFrame(Command::AlarmHistoryRead)}));
        QCOMPARE(historyLines(rig), QStringList(10, QStringLiteral("Normal")));
    }

    void aLostHistoryReplyShowsNothingStale()
    {
        MainRig rig;
        onLine(rig);
        QVERIFY(rig.drive->raiseAlarm(5));
        rig.button("btnALS_03")->click();
        QCOMPARE(historyLines(rig).value(0), QStringLiteral("LINE FAIL"));

        rig.main.stopPoller();
        rig.drive->dropNextReplies(1);
        rig.button("btnALS_03")->click();
        QVERIFY(historyLines(rig).isEmpty());
        QCOMPARE(rig.messages.shown, QStringList{"Instruction fail. Try again"});
        QCOMPARE(rig.main.alarmHistory().AlarmHistory[0], QStringLiteral("LINE FAIL"));
        QCOMPARE(rig.main.alarmHistory().HistoryFillFlag, uint8_t(0));
    }

    void alarmNumbersFromAnyValue()
    {
        QCOMPARE(AlarmLabel(NearestWhole(2.5)), QStringLiteral("OVER VOLT"));
        QCOMPARE(AlarmLabel(NearestWhole(3.5)), QStringLiteral("POWER FAIL"));
        QCOMPARE(AlarmLabel(NearestWhole(16.0)), QStringLiteral("ALARM 16"));
        QCOMPARE(NearestWhole(1e20), std::numeric_limits<int>::max());
        QCOMPARE(NearestWhole(-1e20), std::numeric_limits<int>::min());
        QCOMPARE(NearestWhole(std::numeric_limits<double>::quiet_NaN()), -1);
    }
};

QTEST_MAIN(TestAlarms)
#include "tst_alarms.moc"
