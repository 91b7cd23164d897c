// The auto tuning window against the simulated drive: the reading, the jog pattern's Set,
// auto tuning on and off, starting and stopping the pattern, and the system response steps.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <memory>

#include "MainRig.h"
#include "ReplyBuilder.h"
#include "link/Texts.h"
#include "tuning/AutoTuningWindow.h"
#include "widgets/GradientWidgets.h"

using namespace velmora;

namespace {

QByteArray commandFrame(Command c)
{
    const CommandFrame f = BuildCommandFrame(c, 1);
    return QByteArray(reinterpret_cast<const char *>(f.data()), kCommandFrameLength);
}

const QList<QByteArray> kReading{readFrame(1003, 6), readFrame(216, 3), readFrame(301, 1)};
const QColor kSilver = QColor::fromRgba(GradientButton::DisabledCaption);
const QColor kBlack = QColor::fromRgba(GradientButton::EnabledCaption);

struct Rig : MainRig {
    std::unique_ptr<TForm_AutoTuning> window;
    bool online = false;

    Rig()
    {
        usePort(1);
        online = main.onLineSequence(QStringLiteral("1"));
        main.stopPoller();
        window = std::make_unique<TForm_AutoTuning>(main.session());
    }
    void open()
    {
        window->show();
        drive->clearTraffic();
    }
    template <class W = QWidget> W *find(const char *name) const { return window->findChild<W *>(QLatin1String(name)); }
    QString shown(const char *name) const { return find<QLabel>(name)->text(); }
    void press(const char *name) { find<QAbstractButton>(name)->click(); }
    bool enabled(const char *name) const { return find(name)->isEnabled(); }
    QColor caption(const char *name) const { return find<GradientButton>(name)->captionColor(); }
    QColor colour(const char *label) const { return find<QLabel>(label)->palette().color(QPalette::WindowText); }
    // Registers of the write requests, in order.
    QList<int> written() const
    {
        QList<int> registers;
        for (const QByteArray &r : drive->requests()) {
            if (uint8_t(r[1]) == 6)
                registers << (uint8_t(r[2]) << 8 | uint8_t(r[3]));
        }
        return registers;
    }
};

} // namespace

class TestAutoTuning : public QObject {
    Q_OBJECT
private slots:
    void opensWithItsPanelsAndReadsOnce()
    {
        Rig rig;
        QVERIFY(rig.online);
        QCOMPARE(rig.window->windowTitle(), QStringLiteral("AutoTuning Mode"));
        QCOMPARE(rig.window->size(), QSize(801, 551));
        QStringList panels;
        for (const QGroupBox *box : rig.window->findChildren<QGroupBox *>())
            panels << box->title();
        QCOMPARE(panels, (QStringList{"1. Mode Select", "2. Jog Speed Edit", "3. Auto Tuning Mode", "4. Auto Jog Run",
                                      "5. System Response", "6. Maual Tuning mode", "7. Auto Jog Run",
                                      "8. System Inertia ratio", "9. Auto Tuning Mode"}));
        QCOMPARE(rig.colour("lbl_Endmsg1"), kSilver);

        // Slots with a display: 1003..1006, 1008, 216..218.
        const QList<std::pair<uint16_t, double>> values{{1003, 300}, {1004, 4}, {1005, -300}, {1006, 6},
                                                        {1008, 2.5}, {216, 1}, {217, 7}, {218, 3.5}};
        for (const auto &[reg, value] : values)
            rig.drive->setRegister(reg, value);
        rig.drive->clearTraffic();
        rig.window->show();
        QCOMPARE(rig.drive->requests(), kReading);
        QStringList displays;
        for (int slot : {0, 1, 2, 3, 5, 6, 7, 8})
            displays << rig.window->slotDisplay(slot)->text();
        QCOMPARE(displays, (QStringList{"300", "4", "-300", "6", "2.5", "1", "7", "3.5"}));

        // Shown again: nothing is read.
        rig.window->hide();
        rig.drive->clearTraffic();
        rig.window->show();
        QVERIFY(rig.drive->requests().isEmpty());

        // "Entrance" runs the hook.
        int opened = 0;
        rig.window->setEntranceAction([&opened] { ++opened; });
        rig.press("btn_Chart");
        QCOMPARE(opened, 1);
    }

    void aReadingWithoutReplyLeavesItsDisplays()
    {
        Rig rig;
        rig.drive->setRegister(1003, 300);
        rig.open();
        rig.drive->setRegister(1003, 400);
        rig.drive->setRegister(217, 9);
        // The first request's reply is lost; the values then in hand are an earlier read's.
        rig.drive->dropNextReplies(1);
        rig.window->readAll();
        QCOMPARE(rig.drive->requests(), kReading);
        QCOMPARE(rig.shown("STextATuning_01"), QStringLiteral("300"));
        QCOMPARE(rig.shown("STextATuning_08"), QStringLiteral("9"));
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void setWritesTheRowsUntilOneIsRefused_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("written");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("empty row skipped") << "EditATuning_01" << "" << QList<int>{1004, 1005, 1006, 1008} << QStringList{};
        QTest::newRow("out of range stops") << "EditATuning_02" << "6000" << QList<int>{1003}
                                            << QStringList{"Wrong parameter"};
    }

    void setWritesTheRowsUntilOneIsRefused()
    {
        QFETCH(QString, edit);
        QFETCH(QString, text);
        QFETCH(QList<int>, written);
        QFETCH(QStringList, messages);
        Rig rig;
        rig.drive->setRegister(1003, 100);
        rig.drive->setRegister(1005, 100);
        rig.open();
        rig.find<QLineEdit>(qPrintable(edit))->setText(text);
        rig.press("btnJogParaSet");
        QCOMPARE(rig.written(), written);
        QCOMPARE(rig.messages.shown, messages);
        // Every write is followed by its read-back, which fills the row's display.
        QCOMPARE(rig.drive->requests().size(), 2 * written.size());
        QCOMPARE(rig.drive->requests().value(1), readFrame(uint16_t(written.first()), 1));
        const bool firstWritten = written.first() == 1003;
        QCOMPARE(rig.shown("STextATuning_01"), firstWritten ? QStringLiteral("500") : QStringLiteral("100"));
        QCOMPARE(rig.drive->registerValue(1005), firstWritten ? 100.0 : -500.0);
    }

    void autoTuningOnAndOffFollowTheReadBack()
    {
        Rig rig;
        rig.drive->setRegister(216, 1);
        rig.open();
        QCOMPARE(rig.shown("STextATuning_07"), QStringLiteral("1"));
        // Write and read-back lost: the "1" on display is the opening read's, not an answer.
        rig.drive->dropNextReplies(2);
        rig.press("btnATuningON");
        QVERIFY(rig.enabled("btnATuningON"));

        rig.drive->setRegister(216, 0);
        rig.drive->exceptionNextReplies(1, 3); // refused: the read-back still says 0
        rig.drive->clearTraffic();
        rig.press("btnATuningON");
        QCOMPARE(rig.drive->requests().value(1), readFrame(216, 1));
        QCOMPARE(rig.shown("STextATuning_07"), QStringLiteral("0"));
        QVERIFY(rig.enabled("btnATuningON"));

        rig.press("btnATuningON");
        QCOMPARE(rig.drive->registerValue(216), 1.0);
        QVERIFY(!rig.enabled("btnATuningON"));
        QCOMPARE(rig.caption("btnATuningON"), kSilver);
        QCOMPARE(rig.colour("lbl_Endmsg2"), kSilver);

        rig.press("btnATuningOFF");
        QCOMPARE(rig.drive->registerValue(216), 0.0);
        QCOMPARE(rig.caption("btnATuningON"), kBlack);
        QCOMPARE(rig.colour("lbl_Endmsg1"), QColor(Qt::blue));
        QCOMPARE(rig.colour("lbl_Endmsg2"), QColor(Qt::blue));
    }

    void startNeedsAModeAndAnAcknowledgement()
    {
        Rig rig;
        rig.open();
        rig.press("btnAutoJog_ON");
        QCOMPARE(rig.messages.shown, QStringList{"Please select Mode1 or Mode2"});
        QVERIFY(rig.drive->requests().isEmpty());

        rig.press("Rbtn_01");
        rig.drive->exceptionNextReplies(1, 4);
        rig.press("btnAutoJog_ON");
        QCOMPARE(rig.messages.shown.value(1), QStringLiteral("Instruction fail. Try again"));
        QVERIFY(rig.enabled("btnClose") && rig.enabled("btnAutoJog_ON") && rig.enabled("Rbtn_02"));

        rig.drive->clearTraffic();
        rig.press("btnAutoJog_ON");
        QCOMPARE(rig.drive->requests(), QList<QByteArray>{commandFrame(Command::ProgrammedJogMode1)});
        QCOMPARE(rig.drive->programmedJogMode(), 1);
        QVERIFY(!rig.enabled("btnAutoJog_ON") && !rig.enabled("Rbtn_01") && !rig.enabled("Rbtn_02"));
        QCOMPARE(rig.caption("btnClose"), kSilver);
    }

    // A start without its acknowledgement may have been taken: the pattern is stopped at
    // once and the user is told; Esc stops a running pattern.
    void unacknowledgedStartIsStoppedAndEscapeStops()
    {
        Rig rig;
        rig.open();
        rig.press("Rbtn_01");
        rig.drive->dropNextReplies(1);
        rig.press("btnAutoJog_ON");
        QCOMPARE(rig.drive->requests(), (QList<QByteArray>{commandFrame(Command::ProgrammedJogMode1),
                                                           commandFrame(Command::ProgrammedJogOff)}));
        QCOMPARE(rig.drive->programmedJogMode(), 0);
        QCOMPARE(rig.messages.shown, QStringList{QString::fromLatin1(texts::PatternStartUnconfirmed)});
        QVERIFY(rig.enabled("btnClose") && rig.enabled("btnAutoJog_ON"));

        rig.press("btnAutoJog_ON");
        QCOMPARE(rig.drive->programmedJogMode(), 1);
        rig.drive->clearTraffic();
        rig.find<QLineEdit>("EditATuning_01") ? rig.find<QLineEdit>("EditATuning_01")->setFocus() : void();
        QTest::keyClick(rig.window->windowHandle(), Qt::Key_Escape);
        QCOMPARE(rig.drive->requests(), QList<QByteArray>{commandFrame(Command::ProgrammedJogOff)} + kReading);
        QCOMPARE(rig.drive->programmedJogMode(), 0);
        QVERIFY(rig.enabled("btnClose"));
    }

    void modeTwoRunsUntilAnAcknowledgedStop()
    {
        Rig rig;
        rig.open();
        rig.press("Rbtn_02");
        rig.press("btnAutoJog_ON");
        QVERIFY(rig.enabled("btnAutoJog_ON") && !rig.enabled("btnClose"));
        rig.press("btnAutoJog_ON");
        const QByteArray mode2 = commandFrame(Command::ProgrammedJogMode2);
        QCOMPARE(rig.drive->requests(), (QList<QByteArray>{mode2, mode2}));
        // Closing by the title bar is refused as "Close" is while the pattern runs.
        QVERIFY(!rig.window->close());

        const QList<QByteArray> stopThenRead = QList<QByteArray>{commandFrame(Command::ProgrammedJogOff)} + kReading;
        rig.drive->setRegister(218, 4.2);
        rig.drive->dropNextReplies(1);
        rig.drive->clearTraffic();
        rig.press("btnAutoJog_Off");
        QCOMPARE(rig.messages.shown, QStringList{"Instruction fail. Try again"});
        QVERIFY(!rig.enabled("btnClose"));
        QCOMPARE(rig.drive->requests(), stopThenRead);
        QCOMPARE(rig.shown("STextATuning_09"), QStringLiteral("4.2"));

        rig.drive->clearTraffic();
        rig.press("BTN_ESTOP");
        QCOMPARE(rig.drive->requests(), stopThenRead);
        for (const char *name : {"btnClose", "btnAutoJog_ON", "Rbtn_01", "Rbtn_02"})
            QVERIFY2(rig.enabled(name), name);
        QCOMPARE(rig.caption("btnClose"), kBlack);
        rig.press("btnClose");
        QVERIFY(!rig.window->isVisible());
    }

    void responseStepsThatCannotBeWrittenAreUndone_data()
    {
        QTest::addColumn<double>("start");
        QTest::addColumn<int>("lostReplies"); // of the opening reading
        QTest::addColumn<QString>("button");
        QTest::newRow("up at 19") << 19.0 << 0 << "btnFBspeedH";
        QTest::newRow("down at 1") << 1.0 << 0 << "btnFBspeedL";
        QTest::newRow("nothing read") << 5.0 << 3 << "btnFBspeedH";
    }

    void responseStepsThatCannotBeWrittenAreUndone()
    {
        QFETCH(double, start);
        QFETCH(int, lostReplies);
        QFETCH(QString, button);
        Rig rig;
        rig.drive->setRegister(217, start);
        rig.drive->exceptionNextReplies(lostReplies, 4);
        rig.open();
        const QString before = rig.shown("STextATuning_08");
        rig.press(qPrintable(button));
        QCOMPARE(rig.shown("STextATuning_08"), before);
        QCOMPARE(rig.messages.shown, QStringList{"Wrong parameter"});
        QVERIFY(rig.drive->requests().isEmpty());
    }

    void responseStepIsWrittenAndReadBack()
    {
        Rig rig;
        rig.drive->setRegister(217, 5);
        rig.open();
        rig.press("btnFBspeedH");
        QCOMPARE(rig.written(), QList<int>{217});
        QCOMPARE(rig.drive->registerValue(217), 6.0);
        QCOMPARE(rig.shown("STextATuning_08"), QStringLiteral("6"));
    }
};

QTEST_MAIN(TestAutoTuning)
#include "tst_auto_tuning.moc"
