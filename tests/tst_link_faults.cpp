// Link faults where the user meets them: sequences of faults on the simulated drive's wire
// while the main window and its windows are open, and what the user then sees. Each case
// once froze the tool, stacked message boxes, showed something the drive never sent, or
// let one request's reply answer another.
#include <QLoggingCategory>
#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QTableWidget>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QPointer>
#include <QRegularExpression>
#include <QTest>

#include "FaultTools.h"
#include "MainRig.h"
#include "SimLinkRig.h"
#include "link/FrameLog.h"
#include "link/LinkLog.h"
#include "shell/FindDriveDialog.h"
#include "shell/LinkPanel.h"
#include "link/LoopThread.h"
#include "link/Receiver.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/DisplayRules.h"
#include "params/ParamPages.h"
#include "testop/JogWindow.h"
#include "tuning/MonitorWindow.h"
#include "tuning/StripChart.h"
#include "widgets/ALed.h"

using namespace velmora;

namespace {

using FaultRig = MainRigWith<ModalMessages>;

const QString kCheckComport = QString::fromLatin1(texts::CheckComport);
const QString kCrcLimit = QString::fromLatin1(texts::CrcErrorLimit);

QString goneAway(const char *name = "ttyFAKE0")
{
    return QStringLiteral("The serial port %1 has gone away.").arg(QLatin1String(name));
}

bool onLine(FaultRig &rig)
{
    rig.usePort(1);
    return rig.main.onLineSequence(QStringLiteral("1")) && rig.waitPollCycles(2);
}

// The main window answers again: its poller is gone or running, it is enabled, and it can
// go on line again with the drive answering.
void expectUsableAgain(FaultRig &rig)
{
    QTRY_VERIFY_WITH_TIMEOUT(rig.main.isEnabled(), 3000);
    QCOMPARE(rig.messages.open, 0);
    rig.drive->setSilent(false);
    rig.drive->corruptNextCrc(0);
    if (rig.main.port().isOpen())
        rig.main.BtnOff_LineClick();
    rig.messages.whileOpen = nullptr;
    rig.messages.holdMs = 0;
    const int before = int(rig.messages.shown.size());
    QVERIFY(onLine(rig));
    QCOMPARE(int(rig.messages.shown.size()), before);
    QVERIFY(rig.button("btnP1")->isEnabled());
    QCOMPARE(rig.main.connection().state(), DriveConnection::State::OnLine);
}

int requestCount(FaultRig &rig) { return int(rig.drive->requests().size()); }

// A request frame for comparison: a read of one register of station 1.
QByteArray read1(uint16_t address) { return ReadFrame(1, address, 1); }

struct LinkRig : SimLinkRig {
    LinkRig() : SimLinkRig(300) {}
};

class FailingLoop : public LoopThread {
protected:
    bool round() override { throw std::runtime_error("boom"); }
};

QStringList captured;
void capture(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    captured << QStringLiteral("%1: %2").arg(QLatin1String(context.category), text);
}

} // namespace

class TestLinkFaults : public QObject {
    Q_OBJECT
private slots:
    // The drive falls silent, "Check Comport" comes up, and while it is up the adapter is
    // pulled out. OK on both boxes, and the tool must answer again.
    void silenceThenUnplugWhileTheBoxIsUp()
    {
        FaultRig rig;
        StallWatchdog watchdog("silence, then unplug behind the box", 20000);
        QVERIFY(onLine(rig));
        rig.messages.holdMs = 200;
        bool pulled = false;
        rig.messages.whileOpen = [&](const QString &text) {
            if (text == kCheckComport && !pulled) {
                pulled = true;
                rig.lastPort->simulateUnplug();
            }
        };
        rig.drive->setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(rig.messages.shown.contains(goneAway()), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.messages.open, 0, 2000);
        QCOMPARE(rig.messages.shown, (QStringList{kCheckComport, goneAway()}));
        QCOMPARE(rig.messages.maxOpen, 1);
        QCOMPARE(rig.messages.details, QStringList{QStringLiteral("The simulated drive was unplugged")});
        QVERIFY(!rig.main.port().isOpen());
        QCOMPARE(rig.main.connection().state(), DriveConnection::State::Lost);
        QVERIFY(rig.button("BtnON_Line")->isEnabled());
        QVERIFY(!rig.button("btnP1")->isEnabled());
        watchdog.done();
        QVERIFY2(watchdog.longestStallMs() < 1500, qPrintable(QString::number(watchdog.longestStallMs())));
        expectUsableAgain(rig);
    }

    // The same box, and a page button pressed behind it: the page opens, nothing waits
    // for a poller that waits for the box.
    void pageButtonBehindTheLinkFailureBox()
    {
        FaultRig rig;
        StallWatchdog watchdog("a page opened behind the box", 20000);
        QVERIFY(onLine(rig));
        rig.messages.holdMs = 100;
        bool pressed = false;
        rig.messages.whileOpen = [&](const QString &text) {
            if (text == kCheckComport && !pressed) {
                pressed = true;
                rig.drive->setSilent(false);
                QTest::mouseClick(rig.button("BtnP3"), Qt::LeftButton);
            }
        };
        rig.drive->setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(pressed, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.main.childWindows().isOpen(), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.messages.open, 0, 2000);
        QCOMPARE(rig.messages.shown, QStringList{kCheckComport});
        rig.main.childWindows().current()->close();
        watchdog.done();
        expectUsableAgain(rig);
    }

    // Every reply garbled: polling stops first, then one box, and nothing more goes out
    // while it is up. The same while the monitoring window samples.
    void garbledLineShowsOneBox_data()
    {
        QTest::addColumn<bool>("sampling");
        QTest::newRow("polling") << false;
        QTest::newRow("monitoring window") << true;
    }
    void garbledLineShowsOneBox()
    {
        QFETCH(bool, sampling);
        FaultRig rig;
        StallWatchdog watchdog("a garbled line", 20000);
        QVERIFY(onLine(rig));
        QPointer<TForm_Chart> chart;
        if (sampling) {
            rig.main.Monitor1Click();
            chart = qobject_cast<TForm_Chart *>(rig.main.childWindows().current());
            QVERIFY(chart);
            chart->Btn_StartClick();
            QTRY_VERIFY_WITH_TIMEOUT(chart->sampleCounter() > 3, 3000);
        }
        rig.messages.holdMs = 300;
        int requestsWhenShown = -1;
        rig.messages.whileOpen = [&](const QString &text) {
            if (text == kCrcLimit)
                requestsWhenShown = requestCount(rig);
        };
        rig.drive->corruptNextCrc(1000000);
        QTRY_VERIFY_WITH_TIMEOUT(requestsWhenShown >= 0, 5000);
        QTest::qWait(600);
        QCOMPARE(rig.messages.shown, QStringList{kCrcLimit});
        QCOMPARE(rig.messages.maxOpen, 1);
        QCOMPARE(requestCount(rig), requestsWhenShown);
        QVERIFY(!rig.main.port().isOpen());
        QCOMPARE(rig.main.connection().state(), DriveConnection::State::OffLine);
        QVERIFY(!rig.main.pollerRunning());
        if (sampling) {
            QVERIFY(chart);
            chart->Btn_StopClick();
            chart->close();
            QTRY_VERIFY(!chart);
        }
        watchdog.done();
        expectUsableAgain(rig);
    }

    // The link goes while the jog window runs the motor: the window learns it, offers Close,
    // and says the motor's state is unknown; E-STOP then says it could not be sent.
    void linkLostWithTheJogWindowOpen()
    {
        FaultRig rig;
        QVERIFY(onLine(rig));
        rig.main.BtnJOGClick();
        QPointer<TForm_JOG> jog = qobject_cast<TForm_JOG *>(rig.main.childWindows().current());
        QVERIFY(jog);
        QVERIFY(QTest::qWaitForWindowExposed(jog));
        jog->findChild<QPushButton *>(QStringLiteral("BtnJogOn"))->click();
        auto *cw = jog->findChild<JogDirectionButton *>(QStringLiteral("BtnJog_Forward1"));
        QTest::mousePress(jog->windowHandle(), Qt::LeftButton, {}, cw->mapTo(jog, cw->rect().center()));
        QCOMPARE(rig.drive->jogDirection(), 1);
        QVERIFY(!jog->findChild<QPushButton *>(QStringLiteral("btnClose"))->isEnabled());
        rig.lastPort->simulateUnplug();
        QTRY_COMPARE(rig.messages.shown, (QStringList{goneAway(), TForm_JOG::motorStateUnknownText()}));
        QVERIFY(jog->findChild<QPushButton *>(QStringLiteral("btnClose"))->isEnabled());
        QVERIFY(!cw->isVisible());
        QElapsedTimer clock;
        clock.start();
        jog->findChild<QPushButton *>(QStringLiteral("BTN_ESTOP"))->click();
        QVERIFY(clock.elapsed() < 500);
        QCOMPARE(rig.messages.shown.last(), TForm_JOG::motorStateUnknownText());
        QVERIFY(jog->close());
        QTRY_VERIFY(!jog);
        QTRY_VERIFY(rig.main.isEnabled());
    }

    // Every reply late: a Set whose read-back has no answer leaves no old value in the box,
    // and the user is told to read again; the same for the jog speed.
    void lateRepliesLeaveNoStaleValue()
    {
        FaultRig rig;
        QVERIFY(onLine(rig));
        const TParamDef &def = P4Defs[4];
        rig.main.openParamPage(4);
        auto *page = qobject_cast<TForm_Page *>(rig.main.childWindows().current());
        QVERIFY(page);
        QCOMPARE(page->valueDisplay(4)->text(), FormatParamValue(float(rig.drive->registerValue(def.Address)), def.Decimals));
        rig.drive->setReplyDelayMs(rig.main.session().responseWaitMs + 100);
        qobject_cast<QLineEdit *>(page->entry(4))->setText(QStringLiteral("555"));
        page->setClicked(4);
        QCOMPARE(rig.drive->registerValue(def.Address), 555.0);
        QCOMPARE(page->valueDisplay(4)->text(), QString());
        QCOMPARE(rig.messages.shown, QStringList{QString::fromLatin1(texts::ValueUnconfirmed).arg(QStringLiteral("P4-05"))});
        rig.drive->setReplyDelayMs(0);
        QTest::qWait(200);
        page->btnReflashClick();
        QCOMPARE(page->valueDisplay(4)->text(), QStringLiteral("555"));
        page->close();
        QTRY_VERIFY(!rig.main.childWindows().isOpen());

        rig.main.BtnJOGClick();
        auto *jog = qobject_cast<TForm_JOG *>(rig.main.childWindows().current());
        QVERIFY(jog);
        QTRY_VERIFY(!jog->findChild<QLabel *>(QStringLiteral("STextJOG_01"))->text().isEmpty());
        rig.messages.shown.clear();
        rig.drive->setReplyDelayMs(rig.main.session().responseWaitMs + 100);
        jog->findChild<QLineEdit *>(QStringLiteral("EditJOG_01"))->setText(QStringLiteral("123"));
        jog->btnJOG_01Click();
        QCOMPARE(rig.drive->registerValue(JogDefs[0].Address), 123.0);
        QCOMPARE(jog->findChild<QLabel *>(QStringLiteral("STextJOG_01"))->text(), QString());
        QCOMPARE(rig.messages.shown, QStringList{QString::fromLatin1(texts::ValueUnconfirmed).arg(QStringLiteral("JOG-02"))});
        rig.drive->setReplyDelayMs(0);
        jog->close();
    }

    // Nothing received, nothing shown: going on line with no drive answering leaves the
    // lamp labels, the status values and the ALARM lamp as they were.
    void noDriveShowsNothing()
    {
        FaultRig rig;
        rig.drive->setSilent(true);
        QStringList labels;
        for (QLabel *l : rig.main.findChildren<QLabel *>(QRegularExpression(QStringLiteral("^Lbl_(In|Out)put_"))))
            labels << l->text();
        QCOMPARE(labels.size(), 22);
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QTRY_VERIFY_WITH_TIMEOUT(rig.messages.shown.contains(kCheckComport), 5000);
        QCOMPARE(rig.main.connection().state(), DriveConnection::State::Failed);
        QVERIFY(rig.main.port().isOpen());
        QStringList after;
        for (QLabel *l : rig.main.findChildren<QLabel *>(QRegularExpression(QStringLiteral("^Lbl_(In|Out)put_"))))
            after << l->text();
        QCOMPARE(after, labels);
        QVERIFY(!rig.main.findChild<ThhALed *>(QStringLiteral("LED_ALARM_1"))->value());
        QVERIFY(!rig.main.findChild<ThhALed *>(QStringLiteral("LED_SOVOEN_1"))->value());
        QCOMPARE(rig.main.findChild<QLabel *>(QStringLiteral("STextSt_03"))->text(), QString());
        QCOMPARE(rig.main.findChild<QLabel *>(QStringLiteral("STextALS_01"))->text(), QString());
        // With the drive answering, the labels and the lamp follow its assignments.
        rig.drive->setSilent(false);
        rig.main.BtnOff_LineClick();
        QVERIFY(onLine(rig));
        QTRY_VERIFY(rig.main.findChild<QLabel *>(QStringLiteral("Lbl_Input_01"))->text() == QStringLiteral("SVONEN"));
        QVERIFY(!rig.main.findChild<QLabel *>(QStringLiteral("STextSt_18"))->text().isEmpty());
    }

    // Replies that arrive whole (no bytes ever wait in the receive buffer) are a live link.
    void wholeRepliesAreALiveLink()
    {
        FaultRig rig;
        rig.drive->setChunkSize(0);
        rig.main.watchdogTimer().setInterval(5);
        rig.main.startWatchdog();
        QVERIFY(onLine(rig));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.main.watchdogTimer().isActive(), 3000);
        QVERIFY(rig.waitPollCycles(2));
        QCOMPARE(rig.messages.shown, QStringList());
    }

    // One reply 1100 ms late: the next three exchanges each get their own values, and the
    // late bytes are counted as discarded.
    void lateReplyAnswersNothingElse()
    {
        LinkRig rig;
        rig.session.responseWaitMs = 1000;
        for (uint16_t a = 300; a < 304; ++a)
            QVERIFY(rig.drive->setRegister(a, 10 + a - 300));
        rig.drive->delayNextReply(1100);
        QCOMPARE(ReadRegisters(rig.session, 300, 1).outcome, ReplyOutcome::NoReply);
        for (uint16_t a = 301; a < 304; ++a) {
            const ExchangeResult r = ReadRegisters(rig.session, a, 1);
            QCOMPARE(r.outcome, ReplyOutcome::Good);
            QCOMPARE(r.value(1), float(10 + a - 300));
        }
        QVERIFY(rig.session.counters.lateBytesDiscarded >= 9);
        QCOMPARE(rig.drive->requests().mid(1), (QList<QByteArray>{read1(301), read1(302), read1(303)}));
    }

    // Replies later than the drain still can not pass for another request's: a present
    // alarm for a history, a run echo for a stop's acknowledgement.
    void lateRepliesOfTheWrongShape()
    {
        LinkRig rig;
        rig.session.drainQuietMs = 20;
        QVERIFY(rig.drive->raiseAlarm(3));
        rig.drive->delayNextReply(rig.session.responseWaitMs + 120);
        QCOMPARE(CommandExchange(rig.session, Command::PresentAlarmRead).outcome, ReplyOutcome::NoReply);
        const ExchangeResult history = CommandExchange(rig.session, Command::AlarmHistoryRead);
        QCOMPARE(history.outcome, ReplyOutcome::Good);
        QCOMPARE(history.valueCount(), 10);

        QVERIFY(CommandExchange(rig.session, Command::JogOn));
        rig.drive->delayNextReply(rig.session.responseWaitMs + 120);
        QCOMPARE(CommandExchange(rig.session, Command::JogClockwise).outcome, ReplyOutcome::NoReply);
        rig.drive->setReplyDelayMs(200); // the stop's own echo comes after the late run echo
        const ExchangeResult stop = CommandExchange(rig.session, Command::JogStop);
        QCOMPARE(stop.outcome, ReplyOutcome::Good);
        QCOMPARE(stop.reply.mid(2, 2), QByteArray::fromHex("089C")); // 2200 + 4: the stop's own register
    }

    // Refusals of the private functions are answers, not bad replies to be waited out.
    void privateFunctionRefusals_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("code");
        QTest::newRow("jog (198)") << int(Command::JogOn) << 198;
        QTest::newRow("alarm command (201)") << int(Command::AlarmReset) << 201;
        QTest::newRow("alarm read (208)") << int(Command::PresentAlarmRead) << 208;
    }
    void privateFunctionRefusals()
    {
        QFETCH(int, command);
        QFETCH(int, code);
        LinkRig rig;
        rig.session.responseWaitMs = 1000;
        rig.drive->exceptionNextReplies(1, 4);
        QElapsedTimer clock;
        clock.start();
        const ExchangeResult r = CommandExchange(rig.session, Command(command));
        QCOMPARE(r.outcome, ReplyOutcome::Rejected);
        QCOMPARE(int(uint8_t(r.reply.at(1))), code);
        QVERIFY(clock.elapsed() < 500);
        QCOMPARE(rig.session.reply.crcErrorCount, 0);
    }

    // A worker that throws is logged and says so; it does not vanish.
    void workerFaultIsLoggedAndReported()
    {
        captured.clear();
        const QtMessageHandler old = qInstallMessageHandler(capture);
        FailingLoop loop;
        loop.start();
        QVERIFY(loop.wait(2000));
        qInstallMessageHandler(old);
        QCOMPARE(loop.end(), LoopThread::End::Failed);
        QCOMPARE(loop.failure(), QStringLiteral("boom"));
        QVERIFY2(captured.filter(QStringLiteral("velmora.worker")).filter(QStringLiteral("boom")).size() == 1,
                 qPrintable(captured.join(QLatin1Char('\n'))));
    }

    // With the wire log switched on, every exchange is logged with its frames and outcome.
    void wireLog()
    {
        LinkRig rig;
        captured.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("velmora.wire.debug=true"));
        const QtMessageHandler old = qInstallMessageHandler(capture);
        ReadRegisters(rig.session, 304, 1);
        rig.drive->dropNextReplies(1);
        ReadRegisters(rig.session, 304, 1);
        qInstallMessageHandler(old);
        QLoggingCategory::setFilterRules(QString());
        const QStringList wire = captured.filter(QStringLiteral("velmora.wire"));
        QCOMPARE(wire.size(), 2);
        QVERIFY(wire[0].contains(QString::fromLatin1(read1(304).toHex(' '))));
        QVERIFY(wire[0].contains(QStringLiteral("good")));
        QVERIFY(wire[1].contains(QStringLiteral("no reply")));
    }

    // The link panel counts what the drive's traffic log shows, keeps the last frames and is
    // reachable with Ctrl+L while a child window has the main window disabled.
    void linkPanelCountsWhatTheDriveSaw()
    {
        MainRig rig;
        QTemporaryDir dir;
        rig.usePort(1);
        rig.drive->clearTraffic();
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.waitPollCycles(2));
        rig.drive->dropNextReplies(1);
        QVERIFY(rig.waitPollCycles(2));
        rig.drive->exceptionNextReplies(1, 3);
        QVERIFY(rig.waitPollCycles(2));

        rig.main.Monitor1Click();
        auto *monitor = rig.main.findChild<TForm_Chart *>();
        QVERIFY(monitor && !rig.main.isEnabled());
        QTest::keyClick(monitor, Qt::Key_L, Qt::ControlModifier);
        TForm_Link *panel = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *p = qobject_cast<TForm_Link *>(w); p && p->isVisible())
                panel = p;
        QVERIFY(panel);
        QVERIFY(panel->isEnabled());
        QCOMPARE(rig.main.openLinkPanel(), panel); // one panel for the run
        monitor->Btn_StartClick();
        QTRY_VERIFY(monitor->series(1)->count() >= 3);
        QVERIFY(rig.main.linkActivity().startsWith(QStringLiteral("monitoring chart")));
        monitor->close();
        QTRY_VERIFY(rig.main.isEnabled());
        QTRY_VERIFY(rig.main.poller());
        QVERIFY(rig.waitPollCycles(1));
        rig.main.stopPoller();

        panel->refresh();
        const auto shown = [panel](const char *name) { return panel->findChild<QLabel *>(QLatin1String(name))->text().toLongLong(); };
        const QList<QByteArray> requests = rig.drive->requests();
        QCOMPARE(shown("lbl_Requests"), qint64(requests.size()));
        QCOMPARE(shown("lbl_Timeouts"), 1);
        QCOMPARE(shown("lbl_Refused"), 1);
        QCOMPARE(shown("lbl_Good"), qint64(requests.size()) - 2);
        QCOMPARE(shown("lbl_Bad"), 0);

        // The last frames: the newest request and its reply as the drive logged them.
        const QStringList lines = panel->framesText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(quint64(lines.size()), std::min<quint64>(FrameLog::kKeep, rig.main.session().frameLog.added()));
        const QString lastRequest = QString::fromLatin1(requests.last().toHex(' ').toUpper());
        const QString lastReply = QString::fromLatin1(rig.drive->replies().last().toHex(' ').toUpper());
        QVERIFY2(lines[lines.size() - 2].contains(QStringLiteral(">  ") + lastRequest), qPrintable(lines[lines.size() - 2]));
        QVERIFY(lines[lines.size() - 2].endsWith(QStringLiteral("good")));
        QVERIFY(lines.last().contains(QStringLiteral("<  ") + lastReply));

        rig.messages.files = {dir.filePath(QStringLiteral("frames"))};
        QVERIFY(panel->saveFrames());
        QFile saved(dir.filePath(QStringLiteral("frames.txt")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), panel->framesText());
    }

    // Find Drive: finds the drive at its station with reads of the program version only,
    // goes on line with it when chosen, and finds nothing cleanly on a silent line.
    void findDriveThenGoOnLine()
    {
        MainRig rig;
        rig.drive = std::make_shared<SimDrive>(7);
        rig.drive->setRegister(27, 1.04);
        TForm_FindDrive *dialog = rig.main.findDrive();
        QVERIFY(dialog);
        dialog->findChild<QComboBox *>(QStringLiteral("cmb_ScanPort"))->setCurrentIndex(1); // ttyFAKE1
        dialog->findChild<QSpinBox *>(QStringLiteral("spn_LastStation"))->setValue(10);
        const ScanResult result = dialog->scan();
        QCOMPARE(result.hits.size(), size_t(1));
        QCOMPARE(int(result.hits[0].station), 7);
        QCOMPARE(result.hits[0].versionText, QStringLiteral("1.04"));
        QCOMPARE(dialog->table()->rowCount(), 1);
        QCOMPARE(dialog->table()->item(0, 2)->text(), QStringLiteral("7"));
        for (const QByteArray &r : rig.drive->requests())
            QCOMPARE(r.mid(1, 5), QByteArray::fromHex("03001b0001")); // function 3, register 27, count 1
        QVERIFY(!rig.main.port().isOpen());

        QVERIFY(dialog->useRow(0));
        QCOMPARE(rig.main.session().station(), uint8_t(7));
        QCOMPARE(rig.main.port().settings().ComNumber, 2);
        QCOMPARE(rig.main.port().settings().Baud, result.hits[0].baud);
        QVERIFY(rig.waitPollCycles(2));
        QVERIFY(rig.messages.shown.isEmpty());
        rig.main.BtnOff_LineClick();
        QTRY_VERIFY(!rig.main.port().isOpen());

        // Nobody answers: an empty list and a plain word, within its time bound.
        rig.drive->setSilent(true);
        TForm_FindDrive *again = rig.main.findDrive();
        again->findChild<QSpinBox *>(QStringLiteral("spn_LastStation"))->setValue(2);
        QElapsedTimer clock;
        clock.start();
        const ScanResult none = again->scan();
        QVERIFY(none.hits.empty() && none.ok() && !none.cancelled);
        QCOMPARE(none.tried, none.total);
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(again->table()->rowCount(), 0);
        QVERIFY(again->findChild<QLabel *>(QStringLiteral("lbl_ScanState"))->text().startsWith(QStringLiteral("No drive answered")));
        QVERIFY(!again->findChild<QPushButton *>(QStringLiteral("btn_UseDrive"))->isEnabled());
        QVERIFY(rig.messages.shown.isEmpty());
        again->close();
    }
};

QTEST_MAIN(TestLinkFaults)
#include "tst_link_faults.moc"
