// The jog and programmed-jog windows on the simulated drive: the frames on the wire, the
// drive's motion state, and the buttons and messages the user sees.
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <functional>
#include <memory>

#include "MainRig.h"
#include "link/Texts.h"
#include "testop/AutoJogWindow.h"
#include "testop/JogWindow.h"

using namespace velmora;

namespace {

constexpr uint8_t kStation = 1;
constexpr uint8_t kDeviceFailure = 4;

QByteArray withCrc(std::initializer_list<uint8_t> bytes)
{
    QByteArray f(int(bytes.size()) + 2, '\0');
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<uint8_t *>(f.data()));
    AppendCrc(reinterpret_cast<uint8_t *>(f.data()), int(bytes.size()));
    return f;
}

QByteArray command(Command c)
{
    const CommandFrame f = BuildCommandFrame(c, kStation);
    return QByteArray(reinterpret_cast<const char *>(f.data()), int(f.size()));
}

QByteArray read(uint16_t start, uint16_t count)
{
    return withCrc({kStation, 3, uint8_t(start >> 8), uint8_t(start), uint8_t(count >> 8), uint8_t(count)});
}

QByteArray writeReal(uint16_t address, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return withCrc({kStation, 6, uint8_t(address >> 8), uint8_t(address), uint8_t(bits >> 24), uint8_t(bits >> 16),
                    uint8_t(bits >> 8), uint8_t(bits)});
}

const QString kFail = QString::fromLatin1(texts::InstructionFail);
const QString kWrong = QString::fromLatin1(texts::WrongParameter);

// The main window on line at station 1 with its poller stopped, and one test window on its
// session, shown.
template <class Window> struct Rig : MainRig {
    std::unique_ptr<Window> w;

    explicit Rig(const std::function<void(SimDrive &)> &before = {})
    {
        usePort(1);
        if (!main.onLineSequence(QStringLiteral("1")))
            qFatal("no link to the simulated drive");
        main.stopPoller();
        if (before)
            before(*drive);
        drive->clearTraffic();
        w = std::make_unique<Window>(main.session());
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()))
            qFatal("window not exposed");
    }
    template <class T = QPushButton> T *find(const char *name) { return w->template findChild<T *>(QLatin1String(name)); }
    void click(const char *name) { QTest::mouseClick(find(name), Qt::LeftButton); }
    QList<QByteArray> sent()
    {
        const QList<QByteArray> r = drive->requests();
        drive->clearTraffic();
        return r;
    }
};

using JogRig = Rig<TForm_JOG>;
using AutoJogRig = Rig<TForm_AUTOJOG>;

// Mouse events through the window system, as a user's hand makes them.
void press(JogRig &rig, JogDirectionButton *b, Qt::MouseButton button)
{
    QTest::mousePress(rig.w->windowHandle(), button, {}, b->mapTo(rig.w.get(), b->rect().center()));
}
void release(JogRig &rig, JogDirectionButton *b, Qt::MouseButton button)
{
    QTest::mouseRelease(rig.w->windowHandle(), button, {}, b->mapTo(rig.w.get(), b->rect().center()));
}

} // namespace

class TestJog : public QObject {
    Q_OBJECT
private slots:
    // ---- jog ----

    void openingReadsTheSpeedWithDirectionsHidden()
    {
        JogRig rig([](SimDrive &d) { d.setRegister(1001, -250.5); });
        QCOMPARE(rig.sent(), QList<QByteArray>{read(1001, 1)});
        QCOMPARE(rig.find<QLabel>("STextJOG_01")->text(), QStringLiteral("-250.5"));
        for (const char *name : {"BtnJog_Reverse", "BtnJog_Forward1"}) {
            QVERIFY(!rig.find(name)->isVisible());
            QVERIFY(!rig.find(name)->isEnabled());
        }
        QVERIFY(rig.find("btnClose")->isEnabled());

        rig.drive->setRegister(1001, 30);
        rig.click("btnReflash");
        QCOMPARE(rig.sent(), QList<QByteArray>{read(1001, 1)});
        QCOMPARE(rig.find<QLabel>("STextJOG_01")->text(), QStringLiteral("30"));
    }

    void holdingRunsOnceAndLettingGoStopsTwice_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<int>("mouseButton");
        QTest::addColumn<int>("direction");
        QTest::newRow("CCW, left") << "BtnJog_Reverse" << int(Qt::LeftButton) << -1;
        QTest::newRow("CW, right") << "BtnJog_Forward1" << int(Qt::RightButton) << 1;
        QTest::newRow("CW, middle") << "BtnJog_Forward1" << int(Qt::MiddleButton) << 1;
    }
    void holdingRunsOnceAndLettingGoStopsTwice()
    {
        QFETCH(QString, buttonName);
        QFETCH(int, mouseButton);
        QFETCH(int, direction);
        JogRig rig;
        rig.sent();
        rig.click("BtnJogOn");
        QCOMPARE(rig.sent(), QList<QByteArray>{command(Command::JogOn)});
        QVERIFY(rig.drive->jogMode());
        auto *b = rig.find<JogDirectionButton>(buttonName.toLatin1().constData());
        QVERIFY(b->isVisible() && b->isEnabled());
        QVERIFY(!rig.find("btnClose")->isEnabled());

        const auto mb = Qt::MouseButton(mouseButton);
        press(rig, b, mb);
        QCOMPARE(rig.sent(), QList<QByteArray>{command(direction > 0 ? Command::JogClockwise
                                                                     : Command::JogCounterClockwise)});
        QCOMPARE(rig.drive->jogDirection(), direction);
        QCOMPARE(b->startColor(), QColor(Qt::red));
        QVERIFY(!rig.find("BtnJogOff")->isEnabled());
        // Holding (and moving) sends nothing more.
        QTest::mouseMove(rig.w->windowHandle(), b->mapTo(rig.w.get(), b->rect().topLeft() + QPoint(5, 5)));
        QVERIFY(rig.sent().isEmpty());

        release(rig, b, mb);
        QCOMPARE(rig.sent(), (QList<QByteArray>{command(Command::JogStop), command(Command::JogStop)}));
        QCOMPARE(rig.drive->jogDirection(), 0);
        QCOMPARE(b->startColor(), QColor(Qt::white));
        QVERIFY(rig.find("BtnJogOff")->isEnabled());
        QVERIFY(!rig.find("btnClose")->isEnabled());
        QVERIFY(rig.messages.shown.isEmpty());

        rig.click("BtnJogOff");
        QCOMPARE(rig.sent(), QList<QByteArray>{command(Command::JogOff)});
        QVERIFY(!rig.drive->jogMode());
        QVERIFY(!b->isVisible() && rig.find("btnClose")->isEnabled());
    }

    void refusedCommandsLeaveTheStateAndEmptyTheBuffers()
    {
        JogRig rig;
        rig.drive->exceptionNextReplies(1, kDeviceFailure);
        rig.click("BtnJogOn");
        QCOMPARE(rig.messages.shown, QStringList{kFail});
        QVERIFY(!rig.find("BtnJog_Reverse")->isVisible() && rig.find("btnClose")->isEnabled());

        // A refused press leaves the face white and JOG OFF usable, and stops at once in case
        // the drive did take it; letting go stops again.
        rig.click("BtnJogOn");
        rig.sent();
        auto *ccw = rig.find<JogDirectionButton>("BtnJog_Reverse");
        rig.drive->exceptionNextReplies(1, kDeviceFailure);
        press(rig, ccw, Qt::LeftButton);
        QCOMPARE(rig.messages.shown, (QStringList{kFail, kFail}));
        QCOMPARE(rig.drive->jogDirection(), 0);
        QVERIFY(!ccw->running() && rig.find("BtnJogOff")->isEnabled());
        QCOMPARE(rig.sent(), (QList<QByteArray>{command(Command::JogCounterClockwise), command(Command::JogStop),
                                                 command(Command::JogStop)}));
        release(rig, ccw, Qt::LeftButton);
        QCOMPARE(rig.sent(), (QList<QByteArray>{command(Command::JogStop), command(Command::JogStop)}));
        QCOMPARE(rig.messages.shown.size(), 2);

        // One acknowledged stop of the two is enough.
        press(rig, ccw, Qt::LeftButton);
        rig.drive->exceptionNextReplies(1, kDeviceFailure);
        release(rig, ccw, Qt::LeftButton);
        QVERIFY(!ccw->running() && rig.find("BtnJogOff")->isEnabled());
        QCOMPARE(rig.messages.shown.size(), 2);
    }

    void releaseTakenByTheRefusalMessageStillStops()
    {
        JogRig rig;
        rig.click("BtnJogOn");
        rig.sent();
        auto *cw = rig.find<JogDirectionButton>("BtnJog_Forward1");
        // The hand lets go while the exchange and the refusal's message box are in the way:
        // the release goes to the box (here a stand-in), never to the button.
        QWidget messageBox;
        QTimer::singleShot(0, &messageBox, [&messageBox] { QTest::mouseRelease(&messageBox, Qt::LeftButton); });
        rig.drive->dropNextReplies(1);
        press(rig, cw, Qt::LeftButton);
        QCOMPARE(rig.messages.shown, QStringList{kFail});
        // Stopped at once after the unacknowledged press, and again for the release.
        QCOMPARE(rig.sent(), (QList<QByteArray>{command(Command::JogClockwise), command(Command::JogStop),
                                                 command(Command::JogStop), command(Command::JogStop),
                                                 command(Command::JogStop)}));
        QCOMPARE(rig.drive->jogDirection(), 0); // the run whose reply was lost has been stopped
        QVERIFY(!cw->held());
        // A release that does arrive after all changes nothing.
        release(rig, cw, Qt::LeftButton);
        QVERIFY(rig.sent().isEmpty());
    }

    void estopSwitchesJogOffWhileJogOffIsDisabled()
    {
        JogRig rig;
        rig.click("BtnJogOn");
        auto *cw = rig.find<JogDirectionButton>("BtnJog_Forward1");
        press(rig, cw, Qt::LeftButton);
        rig.sent();
        // The stop refused: it goes once more, and refused again the user is sent to E-STOP.
        rig.drive->exceptionNextReplies(4, kDeviceFailure);
        release(rig, cw, Qt::LeftButton);
        QCOMPARE(rig.sent(), QList<QByteArray>(4, command(Command::JogStop)));
        QCOMPARE(rig.messages.shown, QStringList{TForm_JOG::stopRefusedText()});
        QVERIFY(cw->running() && !rig.find("BtnJogOff")->isEnabled());
        QCOMPARE(rig.drive->jogDirection(), 1);

        rig.sent();
        rig.click("BTN_ESTOP");
        QCOMPARE(rig.sent(), QList<QByteArray>{command(Command::JogOff)});
        QVERIFY(!rig.drive->jogMode());
        QCOMPARE(rig.drive->jogDirection(), 0);
        QVERIFY(!cw->isVisible() && rig.find("BtnJogOff")->isEnabled() && rig.find("btnClose")->isEnabled());
        // The next JOG ON starts from white faces.
        rig.click("BtnJogOn");
        QVERIFY(cw->isVisible() && !cw->running());
    }

    // A stop refused once is sent once more; taken then, nothing is said.
    void refusedStopGoesOnceMore()
    {
        JogRig rig;
        rig.click("BtnJogOn");
        auto *cw = rig.find<JogDirectionButton>("BtnJog_Forward1");
        press(rig, cw, Qt::LeftButton);
        rig.sent();
        rig.drive->exceptionNextReplies(2, kDeviceFailure);
        release(rig, cw, Qt::LeftButton);
        QCOMPARE(rig.sent(), QList<QByteArray>(4, command(Command::JogStop)));
        QCOMPARE(rig.drive->jogDirection(), 0);
        QVERIFY(!cw->running() && rig.find("BtnJogOff")->isEnabled());
        QCOMPARE(rig.messages.shown, QStringList());
    }

    // The release went to the refusal's message box: the next press is a press, not dead.
    void noDeadPressAfterALostRelease()
    {
        JogRig rig;
        rig.click("BtnJogOn");
        auto *cw = rig.find<JogDirectionButton>("BtnJog_Forward1");
        rig.drive->exceptionNextReplies(1, kDeviceFailure);
        // The press is refused while the hand still holds the button; the hand then lets go
        // over the message box (another window), so the button never hears of it.
        press(rig, cw, Qt::LeftButton);
        QCOMPARE(rig.messages.shown, QStringList{kFail});
        QWidget box;
        box.resize(50, 50);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::mouseRelease(box.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
        box.hide();
        rig.sent();
        press(rig, cw, Qt::LeftButton);
        QCOMPARE(rig.sent(), QList<QByteArray>{command(Command::JogClockwise)});
        QCOMPARE(rig.drive->jogDirection(), 1);
        release(rig, cw, Qt::LeftButton);
        QCOMPARE(rig.drive->jogDirection(), 0);
    }

    // Closing or hiding the window while the motor turns stops it first.
    void closingWhileHeldStopsTheMotor_data()
    {
        QTest::addColumn<bool>("hide");
        QTest::newRow("close box") << false;
        QTest::newRow("hidden") << true;
    }
    void closingWhileHeldStopsTheMotor()
    {
        QFETCH(bool, hide);
        JogRig rig;
        rig.click("BtnJogOn");
        auto *cw = rig.find<JogDirectionButton>("BtnJog_Forward1");
        press(rig, cw, Qt::LeftButton);
        QCOMPARE(rig.drive->jogDirection(), 1);
        rig.sent();
        if (hide)
            rig.w->hide();
        else
            QVERIFY(rig.w->close());
        QCOMPARE(rig.sent(), QList<QByteArray>(2, command(Command::JogStop)));
        QCOMPARE(rig.drive->jogDirection(), 0);
        QVERIFY(!rig.w->isVisible());
        // The release that never reaches the hidden button sends nothing more.
        release(rig, cw, Qt::LeftButton);
        QVERIFY(rig.sent().isEmpty());
        QCOMPARE(rig.messages.shown, QStringList());
    }

    // A drive that does not take the closing stop keeps the window, with its E-STOP.
    void closingWithARefusedStopKeepsTheWindow()
    {
        JogRig rig;
        rig.click("BtnJogOn");
        auto *cw = rig.find<JogDirectionButton>("BtnJog_Forward1");
        press(rig, cw, Qt::LeftButton);
        rig.drive->exceptionNextReplies(4, kDeviceFailure);
        QVERIFY(!rig.w->close());
        QVERIFY(rig.w->isVisible());
        QCOMPARE(rig.messages.shown, QStringList{TForm_JOG::stopRefusedText()});
        QCOMPARE(rig.drive->jogDirection(), 1);
        rig.click("BTN_ESTOP");
        QCOMPARE(rig.drive->jogDirection(), 0);
    }

    // Esc stops, whatever has focus in the window.
    void escapeStops()
    {
        JogRig rig;
        rig.click("BtnJogOn");
        auto *cw = rig.find<JogDirectionButton>("BtnJog_Forward1");
        press(rig, cw, Qt::LeftButton);
        QCOMPARE(rig.drive->jogDirection(), 1);
        rig.find<QLineEdit>("EditJOG_01")->setFocus();
        rig.sent();
        QTest::keyClick(rig.w->windowHandle(), Qt::Key_Escape);
        QCOMPARE(rig.sent(), QList<QByteArray>(2, command(Command::JogStop)));
        QCOMPARE(rig.drive->jogDirection(), 0);
        QVERIFY(!cw->running());
    }

    void setSpeed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("upper bound") << "9999.9" << true;
        QTest::newRow("above") << "10000" << false;
        QTest::newRow("not a number") << "abc" << false;
    }
    void setSpeed()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        JogRig rig([](SimDrive &d) { d.setRegister(1001, 100); });
        rig.sent();
        rig.find<QLineEdit>("EditJOG_01")->setText(text);
        rig.click("btnJOG_01");
        if (!accepted) {
            QVERIFY(rig.sent().isEmpty());
            QCOMPARE(rig.messages.shown, QStringList{kWrong});
            QCOMPARE(rig.find<QLabel>("STextJOG_01")->text(), QStringLiteral("100"));
            return;
        }
        QCOMPARE(rig.sent(), (QList<QByteArray>{writeReal(1001, text.toFloat()), read(1001, 1)}));
        QCOMPARE(rig.find<QLabel>("STextJOG_01")->text(), text);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void closingWhileJogIsOnSendsNothingAndEmptiesTheBuffers()
    {
        JogRig rig;
        rig.click("BtnJogOn");
        rig.sent();
        rig.main.session().reply.receiveBuffer = QByteArray("\x01\x02", 2);
        QVERIFY(rig.w->close()); // the close box; "Close" is disabled while jog mode is on
        QVERIFY(rig.sent().isEmpty());
        QVERIFY(rig.drive->jogMode());
        QVERIFY(rig.main.session().reply.receiveBuffer.isEmpty());
    }

    void closeAskedForDuringAnExchangeWaitsForIt()
    {
        JogRig rig;
        // Opened as the main window opens it: deleted when it closes.
        QPointer<TForm_JOG> w = rig.w.release();
        w->setAttribute(Qt::WA_DeleteOnClose);
        rig.drive->delayNextReply(20);
        QTimer::singleShot(0, w, [w] { w->close(); });
        QTest::mouseClick(w->findChild<QPushButton *>(QStringLiteral("BtnJogOn")), Qt::LeftButton);
        QVERIFY(!w.isNull());
        QVERIFY(!w->findChild<QPushButton *>(QStringLiteral("btnClose"))->isEnabled()); // JOG ON ran to its end
        QTRY_VERIFY(w.isNull());
    }

    // ---- programmed jog ----

    void openingAndReadAgainShowTheSixteenValues()
    {
        auto fill = [](SimDrive &d, float base) {
            d.setRegister(1002, 2);
            for (int r = 1003; r <= 1018; ++r)
                d.setRegister(uint16_t(r), r % 2 ? base + r : -(base + r) / 10);
        };
        AutoJogRig rig([&](SimDrive &d) { fill(d, 0); });
        QCOMPARE(rig.sent(), QList<QByteArray>{read(1002, 17)});
        const QList<QLabel *> boxes = rig.w->findChildren<QLabel *>(QRegularExpression("^STextAuto[Jj]og_\\d\\d$"));
        QCOMPARE(boxes.size(), 16);
        QVERIFY(rig.w->valueBox(0) == nullptr);
        auto check = [&] {
            for (int k = 1; k <= 16; ++k)
                QCOMPARE(rig.w->valueBox(k)->text(), FormatParamValue(rig.drive->registerValue(uint16_t(1002 + k)), -1));
        };
        check();
        QCOMPARE(rig.find<QLabel>("STextAutojog_02")->text(), QStringLiteral("1003"));
        QCOMPARE(rig.find<QLabel>("STextAutoJog_03")->text(), QStringLiteral("-100.4"));

        fill(*rig.drive, 1000);
        rig.click("btnReflash");
        QCOMPARE(rig.sent(), QList<QByteArray>{read(1002, 17)});
        check();
        // A read without a reply leaves the boxes empty rather than showing another read's values.
        rig.drive->dropNextReplies(1);
        rig.click("btnReflash");
        for (int k = 1; k <= 16; ++k)
            QVERIFY(rig.w->valueBox(k)->text().isEmpty());
    }

    // Neither the start nor the stop confirmed: the user is told the pattern may run.
    void unconfirmedStartAndStop()
    {
        AutoJogRig rig;
        rig.sent();
        rig.drive->dropNextReplies(2);
        rig.click("btnAJog1_On");
        QCOMPARE(rig.sent(), (QList<QByteArray>{command(Command::ProgrammedJogMode1), command(Command::ProgrammedJogOff)}));
        QCOMPARE(rig.drive->programmedJogMode(), 0); // the off did arrive; only its reply was lost
        QCOMPARE(rig.messages.shown, QStringList{QString::fromLatin1(texts::PatternMayRun)});
        QCOMPARE(rig.find<QLabel>("lblAutoJogState")->text(), QStringLiteral("State unknown"));
    }

    // Opened while a pattern runs, the window shows it, and Esc stops it.
    void reopenedWhileRunningAndEscape()
    {
        AutoJogRig rig([](SimDrive &d) { d.setRegister(1002, 1); });
        QCOMPARE(rig.drive->programmedJogMode(), 1);
        QCOMPARE(rig.find<QLabel>("lblAutoJogState")->text(), QStringLiteral("Running: Mode 1"));
        QVERIFY(!rig.find("btnAJog2_On")->isEnabled());
        rig.find<QLineEdit>("EditAutoJog_02") ? rig.find<QLineEdit>("EditAutoJog_02")->setFocus() : void();
        rig.sent();
        QTest::keyClick(rig.w->windowHandle(), Qt::Key_Escape);
        QCOMPARE(rig.sent(), QList<QByteArray>{command(Command::ProgrammedJogOff)});
        QCOMPARE(rig.drive->programmedJogMode(), 0);
        QCOMPARE(rig.find<QLabel>("lblAutoJogState")->text(), QStringLiteral("Stopped"));
    }

    void modeButtons()
    {
        AutoJogRig rig;
        rig.sent();
        QPushButton *mode1 = rig.find("btnAJog1_On");
        QPushButton *mode2 = rig.find("btnAJog2_On");
        rig.click("btnAJog1_On");
        QCOMPARE(rig.drive->programmedJogMode(), 1);
        QVERIFY(mode1->isEnabled() && !mode2->isEnabled());
        rig.click("btnAJog1_On"); // again while mode 1 runs
        QCOMPARE(rig.sent(), (QList<QByteArray>{command(Command::ProgrammedJogMode1),
                                                 command(Command::ProgrammedJogMode1)}));
        QVERIFY(mode1->isEnabled() && !mode2->isEnabled());

        // A refused off changes nothing and empties nothing.
        rig.drive->exceptionNextReplies(1, kDeviceFailure);
        rig.click("btnAJog_Off");
        QCOMPARE(rig.messages.shown, QStringList{kFail});
        QVERIFY(!mode2->isEnabled());
        QCOMPARE(rig.drive->programmedJogMode(), 1);

        rig.click("btnAJog_Off");
        QCOMPARE(rig.drive->programmedJogMode(), 0);
        QVERIFY(mode1->isEnabled() && mode2->isEnabled());
        rig.click("btnAJog2_On");
        QCOMPARE(rig.drive->programmedJogMode(), 2);
        QVERIFY(!mode1->isEnabled() && mode2->isEnabled());
        // A start whose reply is lost may have been taken: Auto-JOG OFF follows at once.
        rig.drive->dropNextReplies(1);
        rig.click("btnAJog2_On");
        QCOMPARE(rig.messages.shown, (QStringList{kFail, QString::fromLatin1(texts::PatternStartUnconfirmed)}));
        QCOMPARE(rig.drive->programmedJogMode(), 0);
        QVERIFY(mode1->isEnabled() && mode2->isEnabled());
        QCOMPARE(rig.find<QLabel>("lblAutoJogState")->text(), QStringLiteral("Stopped"));
        QCOMPARE(rig.sent(), (QList<QByteArray>{command(Command::ProgrammedJogOff), command(Command::ProgrammedJogOff),
                                                 command(Command::ProgrammedJogMode2),
                                                 command(Command::ProgrammedJogMode2),
                                                 command(Command::ProgrammedJogOff)}));
        rig.click("btnAJog2_On");
        QCOMPARE(rig.drive->programmedJogMode(), 2);
        rig.sent();

        // Closing while a pattern runs sends nothing.
        rig.click("btnClose");
        QVERIFY(!rig.w->isVisible());
        QVERIFY(rig.sent().isEmpty());
    }

    void setRows_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("time at its maximum") << "btnAutojog_03" << "EditAutojog_03" << "STextAutoJog_03" << 1004 << "5000" << true;
        QTest::newRow("time above") << "btnAutojog_03" << "EditAutojog_03" << "STextAutoJog_03" << 1004 << "5000.1" << false;
        QTest::newRow("negative time") << "btnAutojog_17" << "EditAutoJog_17" << "STextAutojog_17" << 1018 << "-1" << false;
        QTest::newRow("speed at its minimum") << "btnAutojog_02" << "EditAutoJog_02" << "STextAutojog_02" << 1003 << "-9999.9" << true;
        QTest::newRow("not a number") << "btnAutojog_06" << "EditAutojog_06" << "STextAutoJog_06" << 1007 << "1e" << false;
    }
    void setRows()
    {
        QFETCH(QString, button);
        QFETCH(QString, edit);
        QFETCH(QString, box);
        QFETCH(int, address);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        AutoJogRig rig;
        rig.click("btnAJog1_On"); // the Set buttons stay usable while a pattern runs
        rig.sent();
        const QString before = rig.find<QLabel>(box.toLatin1().constData())->text();
        rig.find<QLineEdit>(edit.toLatin1().constData())->setText(text);
        rig.click(button.toLatin1().constData());
        if (!accepted) {
            QVERIFY(rig.sent().isEmpty());
            QCOMPARE(rig.messages.shown, QStringList{kWrong});
            QCOMPARE(rig.find<QLabel>(box.toLatin1().constData())->text(), before);
            return;
        }
        QCOMPARE(rig.sent(), (QList<QByteArray>{writeReal(uint16_t(address), text.toFloat()), read(uint16_t(address), 1)}));
        QCOMPARE(rig.find<QLabel>(box.toLatin1().constData())->text(), text);
        QCOMPARE(float(rig.drive->registerValue(uint16_t(address))), text.toFloat());
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void theMainWindowOpensBothWindowsAsChildren()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        for (const char *button : {"BtnJOG", "BtnAuto_Jog"}) {
            const int started = rig.main.pollersStarted();
            rig.button(button)->click();
            QWidget *child = rig.main.childWindows().current();
            QVERIFY(qobject_cast<TForm_JOG *>(child) || qobject_cast<TForm_AUTOJOG *>(child));
            QVERIFY(!rig.main.isEnabled());
            QVERIFY(!rig.main.poller());
            child->close();
            QTRY_COMPARE(rig.main.pollersStarted(), started + 1);
            QVERIFY(rig.main.isEnabled());
        }
    }
};

QTEST_MAIN(TestJog)
#include "tst_jog.moc"
