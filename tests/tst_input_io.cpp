// The input signal control panel against the simulated drive: the pattern on the wire,
// the indicators, the labels and E-STOP with and without an ESTOP pin.
#include <QAction>
#include <QLabel>
#include <QTest>

#include "MainRig.h"
#include "link/Texts.h"
#include "ReplyBuilder.h"
#include "testop/InputWindow.h"

using namespace velmora;

namespace {

// The input-control write of a pattern, as the drive must receive it.
QByteArray controlFrame(uint16_t word)
{
    QByteArray f = QByteArray::fromHex("010607d00000");
    f.append(char(word >> 8));
    f.append(char(word & 0xFF));
    return withCrc(f);
}

// The input-control writes the drive heard.
QList<QByteArray> controlWrites(const SimDrive &drive)
{
    QList<QByteArray> out;
    for (const QByteArray &r : drive.requests())
        if (r.startsWith(QByteArray::fromHex("010607d0")))
            out << r;
    return out;
}

// The panel opened from the main window once the poller has seen the drive's state.
TForm_Input_IO *openPanel(MainRig &rig)
{
    if (!rig.waitPollCycles(2))
        return nullptr;
    rig.main.INPUT_PORTClick();
    auto *panel = rig.main.findChild<TForm_Input_IO *>();
    rig.drive->clearTraffic();
    return panel;
}

void click(TForm_Input_IO *panel, const char *name)
{
    panel->findChild<QAbstractButton *>(QLatin1String(name))->click();
}

} // namespace

class TestInputIo : public QObject {
    Q_OBJECT
private slots:
    // E-STOP with the drive silent: nothing shows as done. The panel keeps what the drive
    // last confirmed, says the state is unknown, and the user is told.
    void unconfirmedEstopShowsStateUnknown()
    {
        MainRig rig;
        rig.drive->setInputs(uint16_t(1u << 9)); // ESTOP (pin 10) on
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        TForm_Input_IO *panel = openPanel(rig);
        QVERIFY(panel);
        QCOMPARE(panel->estopPin(), 10);
        QVERIFY(panel->inputOn(9));
        rig.drive->setSilent(true);
        click(panel, "BTN_ESTOP");
        QVERIFY(panel->inputOn(9)); // as the drive last confirmed it
        QVERIFY(panel->stateUnknown());
        QCOMPARE(panel->findChild<QLabel *>(QStringLiteral("lblInputState"))->text(), QString::fromLatin1(texts::InputsUnknown));
        QCOMPARE(rig.messages.shown, QStringList{QString::fromLatin1(texts::InputsUnconfirmed)});
        QCOMPARE(rig.drive->inputs(), uint16_t(1u << 9));
        // Answered again, E-STOP is confirmed and the state known.
        rig.drive->setSilent(false);
        QTest::qWait(200);
        click(panel, "BTN_ESTOP");
        QVERIFY(!panel->inputOn(9));
        QVERIFY(!panel->stateUnknown());
        QCOMPARE(rig.drive->inputs(), uint16_t(0));
    }

    void switchesSendTheWholePattern()
    {
        MainRig rig;
        rig.drive->setInputs(0);
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        TForm_Input_IO *panel = openPanel(rig);
        QVERIFY(panel);
        QVERIFY(!rig.main.isEnabled());
        for (int pin = 0; pin < kInputPinCount; ++pin)
            QVERIFY(!panel->inputOn(pin));

        click(panel, "SW_SVONEN");
        QVERIFY(panel->inputOn(0));
        click(panel, "SW_SVONEN");
        click(panel, "SW_ALMRST");
        QCOMPARE(controlWrites(*rig.drive),
                 (QList<QByteArray>{controlFrame(0x0FFE), controlFrame(0x0FFF), controlFrame(0x07FF)}));
        QCOMPARE(rig.drive->inputs(), uint16_t(0x0800));
        // A refused write puts the switch back and says so.
        rig.drive->exceptionNextReplies(1, 3);
        click(panel, "SW_SPD1");
        QVERIFY(!panel->inputOn(1));
        QCOMPARE(rig.messages.shown, QStringList{"Instruction fail. Try again"});
        QCOMPARE(rig.drive->inputs(), uint16_t(0x0800));
        click(panel, "btn_IOWrite");
        QCOMPARE(controlWrites(*rig.drive).last(), controlFrame(0x07FF));

        // Closing sends nothing and leaves the pattern in force.
        const int started = rig.main.pollersStarted();
        panel->close();
        QTRY_COMPARE(rig.main.pollersStarted(), started + 1);
        QCOMPARE(controlWrites(*rig.drive).size(), 5);
        QCOMPARE(rig.drive->inputs(), uint16_t(0x0800));
    }

    void estopTurnsTheEstopPinOff()
    {
        MainRig rig;
        rig.drive->setInputs(0x0FFF);
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        TForm_Input_IO *panel = openPanel(rig);
        QCOMPARE(panel->estopPin(), 10);
        auto *action = panel->findChild<QAction *>(QStringLiteral("ACTION_ESTOP"));
        QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+E")));
        click(panel, "BTN_ESTOP");
        action->trigger(); // already off: stays off, sent again
        QCOMPARE(controlWrites(*rig.drive), (QList<QByteArray>{controlFrame(0x0200), controlFrame(0x0200)}));
        QVERIFY(!panel->inputOn(9));
        QVERIFY(panel->inputOn(0));
    }

    void withoutAnEstopPinEveryInputGoesOff()
    {
        MainRig rig;
        rig.drive->setRegister(709, 0); // P7-10: None
        rig.drive->setInputs(0x0003);
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        TForm_Input_IO *panel = openPanel(rig);
        QCOMPARE(panel->estopPin(), 0);
        QVERIFY(panel->inputOn(0) && panel->inputOn(1));
        click(panel, "BTN_ESTOP");
        QCOMPARE(controlWrites(*rig.drive), QList<QByteArray>{controlFrame(kAllInputsOff)});
        QCOMPARE(rig.drive->inputs(), uint16_t(0));
    }

    void labelsFollowTheAssignmentsUnlessP7_01IsNone()
    {
        auto labels = [](TForm_Input_IO *panel) {
            QStringList l;
            for (int i = 1; i <= kInputPinCount; ++i)
                l << panel->findChild<QLabel *>(QStringLiteral("Lbl_Input_%1").arg(i, 2, 10, QLatin1Char('0')))->text();
            return l;
        };
        {
            MainRig rig;
            rig.drive->setRegister(702, 19); // P7-03: ALMRST
            rig.usePort(1);
            QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
            TForm_Input_IO *panel = openPanel(rig);
            QCOMPARE(labels(panel).mid(0, 3), (QStringList{"SVONEN", "SPD1", "ALMRST"}));
        }
        {
            MainRig rig;
            rig.drive->setRegister(700, 0);
            rig.drive->setRegister(702, 19);
            rig.usePort(1);
            QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
            TForm_Input_IO *panel = openPanel(rig);
            QCOMPARE(labels(panel), (QStringList{"SVONEN", "SPD1", "SPD2", "SPD3", "DIR", "P/PI", "CCWLIM", "CWLIM",
                                                 "TLIM", "ESTOP", "STOP", "ALMRST"}));
        }
    }
};

QTEST_MAIN(TestInputIo)
#include "tst_input_io.moc"
