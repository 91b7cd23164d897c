// The fault matrix: every operation family against the simulated drive under each line
// fault. Each cell starts from a fresh main window on line, puts the fault on the wire just
// before the operation's exchange named in its row, runs the operation as the user would,
// and checks what the user is shown, what the drive now holds, how long the user-interface
// thread was held, and that the same operation works again once the fault is gone.
//
// The outcomes are printed as a table at the end, and written to docs/fault-matrix.md
// when VELMORA_WRITE_MATRIX=1.
#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <array>
#include <functional>
#include <map>

#include "MainRig.h"
#include "link/Texts.h"
#include "monitor/StatusPoller.h"
#include "params/Catalogue.h"
#include "params/DownloadWindow.h"
#include "params/ParamFile.h"
#include "params/ParamPages.h"
#include "params/ReportWindows.h"
#include "report/ReportWindow.h"
#include "testop/AutoJogWindow.h"
#include "testop/InputWindow.h"
#include "testop/JogWindow.h"
#include "tuning/AutoTuningWindow.h"
#include "tuning/MonitorWindow.h"
#include "tuning/StripChart.h"

using namespace velmora;

// Runs a check helper and leaves the calling test function when it has failed.
#define CHECKED(call)                                                                                                 \
    do {                                                                                                              \
        call;                                                                                                         \
        if (QTest::currentTestFailed())                                                                               \
            return;                                                                                                   \
    } while (false)

namespace {

// ---- the faults ----

// The reply wait of every cell, and of the rows whose waits run on a worker thread: those
// time out when the user-interface thread can not hand a reply over for a whole wait, so a
// busy machine needs them longer.
constexpr int kWaitMs = 150;
constexpr int kWorkerWaitMs = 300;
constexpr int kChunkBytes = 7; // splits echoes 7 + 3, reads anywhere in their values
const QByteArray kStrayBytes = QByteArray::fromHex("00ff00");
constexpr uint8_t kDeviceFailure = 4;

// How long the user-interface thread may be held: every exchange its full wait and a
// generous allowance for a loaded machine, plus the operation's own pauses.
constexpr int kMarginPerExchangeMs = 250;
constexpr int kBaseMarginMs = 1000;

enum class Fault { NoReply, Late, BadCrc, Chunked, Stray, Exception, Silence, Unplugged, Count };
constexpr int kFaultCount = int(Fault::Count);

const char *faultName(Fault f)
{
    static const char *const names[kFaultCount] = {"No reply",    "Late reply", "Bad CRC", "Chunked",
                                                   "Stray bytes", "Exception",  "Silence", "Unplugged"};
    return names[int(f)];
}

const char *faultMeaning(Fault f)
{
    static const char *const meanings[kFaultCount] = {
        "one reply never comes (the drive still carries the request out)",
        "one reply comes after its wait has ended, ahead of the next request's reply",
        "one reply arrives with its last byte wrong",
        "every reply arrives in pieces of 7 bytes, 1 ms apart",
        "three bytes of line noise arrive just before one reply",
        "the drive refuses one request (exception code 4, nothing carried out)",
        "the drive hears nothing and answers nothing",
        "the serial adapter is pulled out as the request goes",
    };
    return meanings[int(f)];
}

// ---- the operations ----

enum class Op {
    Polling,
    PageRead,
    SetGuard,
    SetWrite,
    Backup,
    Restore,
    AlarmReset,
    AlarmHistory,
    Jog,
    ProgrammedJog,
    InputWrite,
    Chart,
    Report,
    Count
};
constexpr int kOpCount = int(Op::Count);

struct OpInfo {
    const char *name;
    const char *landsOn;  // the exchange the fault hits
    int exchanges;        // the most the user-interface thread waits for
    int pausesMs;         // the operation's own pauses
};

const OpInfo &info(Op op)
{
    static const OpInfo ops[kOpCount] = {
        {"Status polling", "the status block read of a cycle", 5, 0},
        {"Page read (P2)", "the page's read as it opens", 1, 0},
        {"Set P1-14: guard", "the servo-on guard's first read", 4, 0},
        {"Set P1-14: write", "the write, after the guard's two reads", 4, 0},
        {"Backup (Read PC<-SERVO)", "the P1 read", 9, 50},
        {"Restore (Write PC->SERVO)", "the P1 write, after the guard's two reads", 14, 550},
        {"Alarm reset", "the reset command", 2, 100},
        {"Alarm history display", "the history read", 1, 0},
        {"Jog press and release", "the CW press", 3, 0},
        {"Programmed jog mode 1", "the mode command", 1, 0},
        {"Input write (SPD1)", "the input-control write", 1, 0},
        {"Chart sampling", "the first sample", 1, 0},
        {"Report Read", "the P2 read", 10, 50},
    };
    return ops[int(op)];
}

int waitMs(Op op)
{
    return op == Op::Polling || op == Op::Chart ? kWorkerWaitMs : kWaitMs;
}

int heldBoundMs(Op op)
{
    return info(op).exchanges * (waitMs(op) + kMarginPerExchangeMs) + info(op).pausesMs + kBaseMarginMs;
}

// ---- the recorded matrix ----

struct Result {
    QString outcome;
    qint64 heldMs = -1;
    qint64 stallMs = -1;
    bool failed = false;
};
std::map<std::pair<int, int>, Result> &results()
{
    static std::map<std::pair<int, int>, Result> r;
    return r;
}

// The window-lifecycle column: what happens to a window that runs something when it is
// closed, when the link goes while it is open, and when it is opened again.
enum class Life { CloseWhileRunning, LinkLostWhileOpen, ReopenWhileRunning, Count };
enum class LifeWindow { Jog, AutoJog, AutoTuning, Input, Count };
constexpr int kLifeCount = int(Life::Count);
constexpr int kLifeWindowCount = int(LifeWindow::Count);
const char *lifeName(Life l)
{
    static const char *const names[kLifeCount] = {"Close while running", "Link lost while open", "Reopen while running"};
    return names[int(l)];
}
const char *lifeWindowName(LifeWindow w)
{
    static const char *const names[kLifeWindowCount] = {"Jog (CW held)", "Auto Jog (mode 1)", "Auto Tuning (mode 1)",
                                                        "Input Control (SVONEN forced on)"};
    return names[int(w)];
}
std::map<std::pair<int, int>, Result> &lifeResults()
{
    static std::map<std::pair<int, int>, Result> r;
    return r;
}

QString said(const QStringList &messages)
{
    if (messages.isEmpty())
        return QStringLiteral("no message");
    QStringList quoted;
    for (const QString &m : messages)
        quoted << QLatin1Char('"') + m + QLatin1Char('"');
    return quoted.join(QStringLiteral(" + "));
}

// ---- the rig ----

// The simulated drive behind a port that can be pulled out just as a request goes, and that
// can hold a reply back until the wait for it has certainly ended.
class PullablePort : public SimulatedPort {
public:
    using SimulatedPort::SimulatedPort;

    void unplugAtNextSend() { unplug_ = true; }
    // The next reply arrives only when the request after it goes out, ahead of that
    // request's own reply: what a reply 1100 ms late does with the 1000 ms wait. Held back
    // by the next request rather than by a time, a loaded machine can not make it timely.
    void holdBackNextReply() { holdBack_ = true; }
    // How long the main window's handling of the loss held the user-interface thread.
    std::function<void(qint64)> handled;

    void send(const quint8 *data, int length) override
    {
        const QByteArray request(reinterpret_cast<const char *>(data), length);
        if (unplug_)
            return pull();
        if (holdBack_ && isOpen()) {
            holdBack_ = false;
            withheld_.clear();
            for (const ReplyPiece &piece : drive().receive(request))
                withheld_ += piece.bytes; // the drive has carried the request out
            return;
        }
        if (!withheld_.isEmpty() && isOpen()) {
            // The late reply whole, then this request's reply behind it on the line.
            drive().injectStrayBytes(withheld_);
            drive().setChunkSize(int(withheld_.size()));
            SimulatedPort::send(data, length);
            drive().setChunkSize(0);
            withheld_.clear();
            return;
        }
        SimulatedPort::send(data, length);
    }

private:
    void pull()
    {
        // The request never reaches the drive; the loss is reported from the event loop,
        // as the serial port reports it.
        unplug_ = false;
        QTimer::singleShot(0, this, [this] {
            const std::function<void(qint64)> report = handled;
            QElapsedTimer clock;
            clock.start();
            simulateUnplug();
            if (report)
                report(clock.elapsed());
        });
    }

    bool unplug_ = false;
    bool holdBack_ = false;
    QByteArray withheld_;
};

struct Cell : MainRig {
    const Op op;
    const Fault fault;
    QPointer<PullablePort> device; // the adapter now plugged in
    qint64 heldMs = 0;
    qint64 stallMs = 0;
    QString outcome;
    QMetaObject::Connection pendingInjection;
    QTemporaryDir dir;

    Cell(Op o, Fault f) : op(o), fault(f)
    {
        main.session().responseWaitMs = waitMs(op);
        main.port().setDeviceFactory([this](const PortEntry &) {
            auto port = std::make_unique<PullablePort>(drive);
            port->handled = [this](qint64 ms) { heldMs = std::max(heldMs, ms); };
            device = port.get();
            lastPort = port.get();
            return port;
        });
    }

    bool goOnLine()
    {
        usePort(1);
        return main.onLineSequence(QStringLiteral("1")) && waitPollCycles(1);
    }

    void inject()
    {
        switch (fault) {
        case Fault::NoReply: drive->dropNextReplies(1); break;
        case Fault::Late: device->holdBackNextReply(); break;
        case Fault::BadCrc: drive->corruptNextCrc(1); break;
        case Fault::Chunked: drive->setChunkSize(kChunkBytes); break;
        case Fault::Stray: drive->injectStrayBytes(kStrayBytes); break;
        case Fault::Exception: drive->exceptionNextReplies(1, kDeviceFailure); break;
        case Fault::Silence: drive->setSilent(true); break;
        case Fault::Unplugged: device->unplugAtNextSend(); break;
        case Fault::Count: break;
        }
    }

    // The fault goes on the wire once n more replies have been handled, so that it hits
    // the exchange after them.
    void injectAfterReplies(int n)
    {
        auto count = std::make_shared<int>(0);
        pendingInjection = QObject::connect(&main.session(), &DriveSession::replySignalled, &main, [this, n, count] {
            if (++*count < n)
                return;
            QObject::disconnect(pendingInjection);
            inject();
        });
    }

    void clearFault()
    {
        QObject::disconnect(pendingInjection);
        drive->dropNextReplies(0);
        drive->corruptNextCrc(0);
        drive->setChunkSize(0);
        drive->setSilent(false);
        drive->exceptionNextReplies(0, kDeviceFailure);
    }

    // Runs a handler of the user-interface thread and adds how long it held the thread;
    // returns the longest the event loop went without running a timer meanwhile. Watching a
    // worker (countWall false) holds nothing; only its stalls of the loop count.
    template <class F> qint64 held(F &&handler, bool countWall = true)
    {
        QElapsedTimer wall, beat;
        qint64 stall = 0;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        heartbeat.setInterval(2);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] { stall = std::max(stall, beat.restart()); });
        wall.start();
        beat.start();
        heartbeat.start();
        handler();
        stall = std::max(stall, beat.elapsed());
        stallMs = std::max(stallMs, stall);
        if (countWall)
            heldMs += wall.elapsed();
        return stall;
    }

    bool failing() const { return fault != Fault::Chunked; }
    bool unplugged() const { return fault == Fault::Unplugged; }
    // Faults after which the drive has still carried the request out.
    bool requestArrived() const
    {
        return fault == Fault::NoReply || fault == Fault::Late || fault == Fault::BadCrc || fault == Fault::Chunked
               || fault == Fault::Stray;
    }
    QStringList goneAway() const
    {
        return unplugged() ? QStringList{QStringLiteral("The serial port ttyFAKE0 has gone away.")} : QStringList{};
    }

    void closeChild()
    {
        QPointer<QWidget> child = main.childWindows().current();
        if (!child)
            return;
        QSignalSpy closed(&main.childWindows(), &ChildWindowProtocol::childClosed);
        child->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(child.isNull());
        QVERIFY(closed.wait(2000));
    }

    void closeFileViews()
    {
        for (TForm_Save_Report *view : main.findChildren<TForm_Save_Report *>())
            view->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Off line with the device gone: nothing polls the closed port, so no second box
    // reports a failed link later.
    void expectNothingPollsOffLine()
    {
        QVERIFY(!main.port().isOpen());
        QVERIFY(!button("BtnOFF_LINE")->isEnabled());
        QVERIFY(!main.pollerRunning());
        QVERIFY(main.poller() == nullptr);
    }

    // After a device loss: the adapter is back, the window that was open closed, on line again.
    void plugBackIn()
    {
        closeChild();
        closeFileViews();
        if (!main.port().isOpen())
            QVERIFY(main.onLineSequence(QStringLiteral("1")));
        QVERIFY(waitPollCycles(1));
    }
};

// The display texts of a group as the drive holds it now.
QStringList driveTexts(const SimDrive &drive, int group)
{
    QStringList texts;
    for (const TParamDef &def : ParamGroups[size_t(group - 1)].defs)
        texts << FormatParamValue(float(drive.registerValue(def.Address)), def.Decimals);
    if (group == 1)
        ApplyMotorDefaults(texts);
    return texts;
}

QStringList statusTexts(TForm_Main &main)
{
    QStringList texts;
    for (QLabel *box : main.statusBoxes())
        texts << (box ? box->text() : QString());
    return texts;
}

} // namespace

class TestFaultMatrix : public QObject {
    Q_OBJECT

    // ---- one function per operation; each runs the faulted operation and the clean one ----

    void polling(Cell &c)
    {
        c.main.stopPoller();
        const QStringList before = statusTexts(c.main);
        QVERIFY(!before.value(2).isEmpty());
        // Whatever happens, the boxes only ever show the drive's values.
        QStringList foreign;
        const QMetaObject::Connection watch =
            QObject::connect(&c.main.session(), &DriveSession::replySignalled, &c.main, [&] {
                if (statusTexts(c.main) != before)
                    foreign = statusTexts(c.main);
            });
        c.messages.shown.clear();
        c.injectAfterReplies(2); // the P8 and P7 reads of the first cycle go first
        c.main.startPoller();
        c.held(
            [&] {
                if (c.fault == Fault::Silence)
                    // Reported by the connection once the poller has finished.
                    QTRY_VERIFY_WITH_TIMEOUT(c.main.poller()->isFinished() && !c.messages.shown.isEmpty(), 5000);
                else if (c.unplugged())
                    QTRY_VERIFY_WITH_TIMEOUT(!c.main.port().isOpen(), 5000);
                else
                    QVERIFY(c.waitPollCycles(3));
            },
            false);
        QObject::disconnect(watch);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(foreign, QStringList());
        QCOMPARE(statusTexts(c.main), before);
        if (c.fault == Fault::Silence) {
            QCOMPARE(c.messages.shown, QStringList{QString::fromLatin1(texts::CheckComport)});
            QVERIFY(c.button("BtnON_Line")->isEnabled());
            c.outcome = QStringLiteral("polling ends after three silent waits, boxes keep the last values · %1")
                            .arg(said(c.messages.shown));
        } else if (c.unplugged()) {
            QCOMPARE(c.messages.shown, c.goneAway());
            QVERIFY(c.main.poller() == nullptr);
            QVERIFY(c.button("BtnON_Line")->isEnabled() && !c.button("btnP1")->isEnabled());
            CHECKED(c.expectNothingPollsOffLine());
            c.outcome = QStringLiteral("off line, boxes keep the last values · %1").arg(said(c.messages.shown));
        } else {
            QCOMPARE(c.messages.shown, QStringList());
            QVERIFY(c.main.poller()->isRunning());
            QCOMPARE(c.main.session().link.linkFailed.load(), uint8_t(0));
            c.outcome = QStringLiteral("polling goes on, no foreign value shown · %1").arg(said(c.messages.shown));
        }
        c.held([&] { c.main.stopPoller(); });

        // Clean: on line again where the link was given up, and the drive's values come.
        c.clearFault();
        QVERIFY(c.drive->setRegister(12, 4321.5)); // St-03, so a new value must arrive
        if (c.fault == Fault::Silence || c.unplugged())
            QVERIFY(c.main.onLineSequence(QStringLiteral("1")));
        else
            c.main.startPoller();
        QTRY_COMPARE_WITH_TIMEOUT(c.main.findChild<QLabel *>(QStringLiteral("STextSt_03"))->text(),
                                  QStringLiteral("4321.5"), 5000);
    }

    void pageRead(Cell &c)
    {
        c.main.stopPoller();
        c.drive->setRegister(211, 12.34); // P2-12: a value no default has
        c.messages.shown.clear();
        c.inject();
        c.held([&] { c.main.openParamPage(2); });
        auto *page = qobject_cast<TForm_Page *>(c.main.childWindows().current());
        QVERIFY(page);
        const QStringList drive = driveTexts(*c.drive, 2);
        const int rows = int(drive.size());
        auto shown = [&] {
            QStringList texts;
            for (int row = 0; row < rows; ++row)
                texts << page->valueDisplay(row)->text();
            return texts;
        };
        if (c.failing()) {
            QCOMPARE(shown(), QStringList(rows, QString()));
            QVERIFY(c.main.paramTexts().P(2).isEmpty());
            QCOMPARE(c.messages.shown, c.goneAway());
            c.outcome = QStringLiteral("the page opens with empty boxes · %1").arg(said(c.messages.shown));
        } else {
            QCOMPARE(shown(), drive);
            QCOMPARE(c.messages.shown, QStringList());
            c.outcome = QStringLiteral("the drive's values shown · %1").arg(said(c.messages.shown));
        }
        if (c.unplugged()) {
            QVERIFY(!c.main.port().isOpen());
            CHECKED(c.closeChild());
            CHECKED(c.expectNothingPollsOffLine());
        }

        c.clearFault();
        if (c.unplugged()) {
            CHECKED(c.plugBackIn());
            c.main.openParamPage(2);
            page = qobject_cast<TForm_Page *>(c.main.childWindows().current());
            QVERIFY(page);
        } else {
            page->btnReflashClick();
        }
        QCOMPARE(shown(), drive);
        QCOMPARE(page->valueDisplay(11)->text(), QStringLiteral("12.3"));
    }

    void setValue(Cell &c, bool faultOnWrite)
    {
        constexpr int kRow = 13; // P1-14, written only with the servo off
        const TParamDef &def = P1Defs[kRow];
        c.main.openParamPage(1);
        auto *page = qobject_cast<TForm_Page *>(c.main.childWindows().current());
        QVERIFY(page);
        auto *edit = qobject_cast<QLineEdit *>(page->entry(kRow));
        QVERIFY(edit);
        const QString before = page->valueDisplay(kRow)->text();
        QCOMPARE(before, FormatParamValue(c.drive->registerValue(def.Address), def.Decimals));
        QVERIFY(before != QLatin1String("1234"));

        edit->setText(QStringLiteral("1234"));
        c.messages.shown.clear();
        c.drive->clearTraffic();
        if (faultOnWrite)
            c.injectAfterReplies(2);
        else
            c.inject();
        c.held([&] { page->setClicked(kRow); });
        const bool written = c.drive->registerValue(def.Address) == 1234.0;
        const QString shown = page->valueDisplay(kRow)->text();
        if (!faultOnWrite) {
            if (c.failing()) {
                // Without the guard's answer the servo state is unknown: the write is refused, and
                // the user is told the drive did not answer (not that the servo is on).
                QCOMPARE(c.messages.shown,
                         c.unplugged() ? c.goneAway() : QStringList{QString::fromLatin1(texts::GuardUnanswered)});
                QVERIFY(!written);
                QCOMPARE(shown, before);
                c.outcome = QStringLiteral("refused before the write, box unchanged · %1").arg(said(c.messages.shown));
            } else {
                QCOMPARE(c.messages.shown, QStringList());
                QVERIFY(written);
                QCOMPARE(shown, QStringLiteral("1234"));
                c.outcome = QStringLiteral("written, read back · %1").arg(said(c.messages.shown));
            }
        } else {
            // The write's acknowledgement is not looked at: the read-back shows what the drive holds.
            // Without the read-back's answer the box shows no value, and the user is told.
            const QStringList unconfirmed{QString::fromLatin1(texts::ValueUnconfirmed).arg(ParamIdForAddress(def.Address))};
            QCOMPARE(c.messages.shown, c.fault == Fault::Silence ? unconfirmed : c.goneAway());
            QCOMPARE(written, c.requestArrived());
            if (c.fault == Fault::Silence || c.unplugged()) {
                QCOMPARE(shown, QString());
                c.outcome = QStringLiteral("not written, box emptied: value unconfirmed · %1").arg(said(c.messages.shown));
            } else {
                QCOMPARE(shown, FormatParamValue(c.drive->registerValue(def.Address), def.Decimals));
                c.outcome = (written ? QStringLiteral("written, read back · %1")
                                     : QStringLiteral("not written, read back shows the old value · %1"))
                                .arg(said(c.messages.shown));
            }
        }
        if (c.unplugged()) {
            CHECKED(c.closeChild());
            CHECKED(c.expectNothingPollsOffLine());
        }

        c.clearFault();
        if (c.unplugged()) {
            CHECKED(c.plugBackIn());
            c.main.openParamPage(1);
            page = qobject_cast<TForm_Page *>(c.main.childWindows().current());
            QVERIFY(page);
            edit = qobject_cast<QLineEdit *>(page->entry(kRow));
        }
        c.messages.shown.clear();
        edit->setText(QStringLiteral("1500"));
        page->setClicked(kRow);
        QCOMPARE(c.messages.shown, QStringList());
        QCOMPARE(c.drive->registerValue(def.Address), 1500.0);
        QCOMPARE(page->valueDisplay(kRow)->text(), QStringLiteral("1500"));
    }

    void backup(Cell &c)
    {
        auto lineOfP1_14 = [](const QString &path) {
            return ReadParamFileLines(path).value_or(QStringList()).value(14);
        };
        // A first backup leaves every group's texts behind; then the drive changes.
        c.messages.answers = {true};
        c.messages.files = {c.dir.filePath(QStringLiteral("first.vpf"))};
        c.main.UpLoad1Click();
        const QString old = lineOfP1_14(c.dir.filePath(QStringLiteral("first.vpf")));
        QVERIFY(!old.isEmpty());
        c.closeFileViews();
        QVERIFY(c.waitPollCycles(1));
        QVERIFY(c.drive->setRegister(P1Defs[13].Address, 1777));

        const QString path = c.dir.filePath(QStringLiteral("faulted.vpf"));
        c.messages.shown.clear();
        c.messages.answers = {true};
        c.messages.files = {path};
        c.main.stopPoller();
        c.inject();
        c.held([&] { c.main.UpLoad1Click(); });
        if (c.failing()) {
            // P1's texts from the first backup are at hand, but a group without a good reply
            // is never saved as if just read.
            QVERIFY(!QFile::exists(path));
            QVERIFY(c.main.findChildren<TForm_Save_Report *>().isEmpty());
            QVERIFY(c.main.isEnabled());
            const QString checkComport = QString::fromLatin1(texts::CheckComport);
            if (c.fault == Fault::Silence) // nine silent waits: the restarted poller reports them
                QTRY_VERIFY_WITH_TIMEOUT(c.messages.shown.contains(checkComport), 5000);
            const QStringList shown = c.messages.shown.mid(1); // past the question
            QStringList refusal = shown;
            refusal.removeAll(c.goneAway().value(0));
            refusal.removeAll(checkComport);
            QCOMPARE(refusal.size(), 1);
            QVERIFY(refusal[0] != QLatin1String(texts::FileSaveFail));
            QStringList expected = c.goneAway() << refusal[0];
            if (c.fault == Fault::Silence)
                expected << checkComport;
            QCOMPARE(shown, expected);
            c.outcome = QStringLiteral("nothing saved · %1").arg(said(shown));
        } else {
            QCOMPARE(lineOfP1_14(path), QStringLiteral("1777"));
            QCOMPARE(c.messages.shown.mid(1), QStringList());
            c.outcome = QStringLiteral("saved, the drive's values · %1").arg(said(c.messages.shown.mid(1)));
        }
        if (c.unplugged())
            CHECKED(c.expectNothingPollsOffLine());

        c.clearFault();
        c.closeFileViews();
        if (c.fault == Fault::Silence)
            QVERIFY(c.main.onLineSequence(QStringLiteral("1")));
        if (c.unplugged())
            CHECKED(c.plugBackIn());
        c.messages.shown.clear();
        c.messages.answers = {true};
        c.messages.files = {c.dir.filePath(QStringLiteral("clean.vpf"))};
        c.main.UpLoad1Click();
        QCOMPARE(c.messages.shown, QStringList{QString::fromLatin1(texts::SaveParameterQuestion)});
        const QStringList lines =
            ReadParamFileLines(c.dir.filePath(QStringLiteral("clean.vpf"))).value_or(QStringList());
        QCOMPARE(lines.size(), kParamFileLines);
        QCOMPARE(lines.value(14), QStringLiteral("1777"));
        c.closeFileViews();
    }

    // A file every check passes: each parameter at its minimum, motor code 0, station 1,
    // and P3-02 at 12.5.
    static QString restoreFile(const QTemporaryDir &dir)
    {
        std::array<QStringList, 9> texts;
        for (int g = 1; g <= 9; ++g)
            for (const TParamDef &def : ParamGroups[size_t(g - 1)].defs)
                texts[size_t(g - 1)] << FormatParamValue(def.MinValue, def.Decimals);
        texts[0][0] = QStringLiteral("0");
        texts[0][17] = QStringLiteral("1");
        texts[2][1] = QStringLiteral("12.5");
        const QString path = dir.filePath(QStringLiteral("restore.vpf"));
        if (!SaveParamFile(path, BuildParamFileLines(texts)))
            return {};
        return path;
    }

    void restore(Cell &c)
    {
        const QString path = restoreFile(c.dir);
        QVERIFY(!path.isEmpty());
        auto open = [&] {
            c.messages.files = {path};
            c.main.Download1Click();
            return qobject_cast<TForm_DownLoad *>(c.main.childWindows().current());
        };
        QPointer<TForm_DownLoad> window = open();
        QVERIFY(window);
        QVERIFY(c.drive->setRegister(301, 99));
        const QString complete = QString::fromLatin1(texts::DownLoadComplete);
        const QString failed = QString::fromLatin1(texts::DownLoadFailed);

        c.messages.shown.clear();
        c.messages.answers = {true};
        c.injectAfterReplies(2); // the guard's reads go first
        c.held([&] { window->Btn_DownLoadClick(); });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QStringList after = c.messages.shown.mid(1); // past the question
        const bool p3Written = c.drive->registerValue(301) == 12.5;
        if (c.fault == Fault::Silence || c.unplugged()) {
            // Three silent waits: the link has failed and nothing more is sent.
            QCOMPARE(after, c.goneAway() << failed);
            QVERIFY(window);
            QVERIFY(!p3Written);
            QCOMPARE(c.main.session().link.linkFailed.load(), uint8_t(1));
            c.outcome = QStringLiteral("stops at the failed link, window stays · %1").arg(said(after));
        } else if (c.fault == Fault::Exception) {
            QCOMPARE(after, QStringList{failed});
            QVERIFY(window);
            QVERIFY(p3Written); // the groups after the refused one went on
            c.outcome = QStringLiteral("P1 refused, the rest written, window stays · %1").arg(said(after));
        } else {
            // Only the last request's reply decides; here the drive did take every group.
            QCOMPARE(after, QStringList{complete});
            QVERIFY(window.isNull());
            QVERIFY(p3Written);
            c.outcome = QStringLiteral("all written, window closes · %1").arg(said(after));
        }
        if (c.unplugged()) {
            CHECKED(c.closeChild());
            CHECKED(c.expectNothingPollsOffLine());
        }

        c.clearFault();
        if (c.unplugged())
            CHECKED(c.plugBackIn());
        if (!window) {
            QTRY_VERIFY(c.main.poller() != nullptr); // the closed window's poller has started
            window = open();
            QVERIFY(window);
        }
        QVERIFY(c.drive->setRegister(301, 99));
        c.messages.shown.clear();
        c.messages.answers = {true};
        window->Btn_DownLoadClick();
        QCOMPARE(c.messages.shown.value(1), complete);
        QCOMPARE(c.drive->registerValue(301), 12.5);
        QTRY_VERIFY(window.isNull());
    }

    void alarmReset(Cell &c)
    {
        QLabel *present = c.main.findChild<QLabel *>(QStringLiteral("STextALS_01"));
        QVERIFY(c.drive->raiseAlarm(3));
        QTRY_COMPARE_WITH_TIMEOUT(present->text(), QStringLiteral("OVER LOAD"), 5000);
        c.main.stopPoller();
        c.messages.shown.clear();
        c.inject();
        c.held([&] { c.main.btnALS_02Click(); });
        const QString fail = QString::fromLatin1(texts::InstructionFail);
        if (c.failing()) {
            QCOMPARE(c.messages.shown, c.goneAway() << fail);
            QCOMPARE(present->text(), QStringLiteral("OVER LOAD"));
            // A lost acknowledgement does not undo the reset: the drive may have carried it out.
            QCOMPARE(c.drive->presentAlarm(), c.requestArrived() ? 0 : 3);
            c.outcome = QStringLiteral("%1, box keeps the alarm · %2")
                            .arg(c.requestArrived() ? QStringLiteral("reset done in the drive")
                                                    : QStringLiteral("not reset"),
                                 said(c.messages.shown));
        } else {
            QCOMPARE(c.messages.shown, QStringList());
            QCOMPARE(c.drive->presentAlarm(), 0);
            QVERIFY(present->text() != QLatin1String("OVER LOAD"));
            c.outcome = QStringLiteral("reset, present alarm read again · %1").arg(said(c.messages.shown));
        }
        if (c.unplugged())
            CHECKED(c.expectNothingPollsOffLine());

        c.clearFault();
        if (c.unplugged())
            CHECKED(c.plugBackIn());
        if (c.drive->presentAlarm() == 0)
            QVERIFY(c.drive->raiseAlarm(4));
        c.main.stopPoller();
        c.messages.shown.clear();
        c.main.btnALS_02Click();
        QCOMPARE(c.messages.shown, QStringList());
        QCOMPARE(c.drive->presentAlarm(), 0);
        QVERIFY(c.main.pollerRunning());
    }

    void alarmHistory(Cell &c)
    {
        auto *list = c.main.findChild<QListWidget *>(QStringLiteral("ListBoxALS03"));
        auto lines = [list] {
            QStringList out;
            for (int i = 0; i < list->count(); ++i)
                out << list->item(i)->text();
            return out;
        };
        QVERIFY(c.drive->raiseAlarm(7));
        QVERIFY(c.drive->raiseAlarm(3));
        QStringList expected{"OVER LOAD", "FOLLOW ERR"};
        while (expected.size() < kAlarmHistoryLength)
            expected << QStringLiteral("Normal");
        c.main.btnALS_03Click();
        QCOMPARE(lines(), expected);

        c.main.stopPoller();
        c.messages.shown.clear();
        c.inject();
        c.held([&] { c.main.btnALS_03Click(); });
        if (c.failing()) {
            QCOMPARE(lines(), QStringList());
            QCOMPARE(c.messages.shown, c.goneAway() << QString::fromLatin1(texts::InstructionFail));
            QCOMPARE(c.main.alarmHistory().AlarmHistory[0], QStringLiteral("OVER LOAD"));
            c.outcome = QStringLiteral("list left empty · %1").arg(said(c.messages.shown));
        } else {
            QCOMPARE(lines(), expected);
            QCOMPARE(c.messages.shown, QStringList());
            c.outcome = QStringLiteral("history listed · %1").arg(said(c.messages.shown));
        }
        if (c.unplugged())
            CHECKED(c.expectNothingPollsOffLine());

        c.clearFault();
        if (c.unplugged())
            CHECKED(c.plugBackIn());
        c.messages.shown.clear();
        c.main.btnALS_03Click();
        QCOMPARE(lines(), expected);
        QCOMPARE(c.messages.shown, QStringList());
    }

    void jog(Cell &c)
    {
        auto openJog = [&]() -> TForm_JOG * {
            c.main.BtnJOGClick();
            auto *w = qobject_cast<TForm_JOG *>(c.main.childWindows().current());
            if (!w || !QTest::qWaitForWindowExposed(w))
                return nullptr;
            w->findChild<QPushButton *>(QStringLiteral("BtnJogOn"))->click();
            return w;
        };
        TForm_JOG *w = openJog();
        QVERIFY(w);
        QVERIFY(c.drive->jogMode());
        auto *cw = w->findChild<JogDirectionButton *>(QStringLiteral("BtnJog_Forward1"));
        auto at = [&] { return cw->mapTo(w, cw->rect().center()); };
        const QString fail = QString::fromLatin1(texts::InstructionFail);

        c.messages.shown.clear();
        c.inject();
        c.held([&] { QTest::mousePress(w->windowHandle(), Qt::LeftButton, {}, at()); });
        const bool ranAfterPress = cw->running();
        const int driveAfterPress = c.drive->jogDirection();
        const QStringList afterPress = c.messages.shown;
        c.held([&] { QTest::mouseRelease(w->windowHandle(), Qt::LeftButton, {}, at()); });
        QCOMPARE(c.drive->jogDirection(), 0); // letting go stops the motor whatever the press did
        QVERIFY(!cw->running());
        if (c.failing()) {
            QVERIFY(!ranAfterPress);
            // Unplugged, the window says the motor's state is unknown (nothing more can be sent).
            QCOMPARE(afterPress, c.goneAway() << (c.unplugged() ? TForm_JOG::motorStateUnknownText() : fail));
            // A press whose answer was lost may have started the motor: it is stopped at once,
            // before the message, not only when the hand lets go.
            QCOMPARE(driveAfterPress, 0);
            const bool stopsFail = c.fault == Fault::Silence;
            QCOMPARE(c.messages.shown, stopsFail ? QStringList(afterPress) << fail : afterPress);
            c.outcome = QStringLiteral("press refused (%1), release stops · %2")
                            .arg(c.requestArrived() ? QStringLiteral("motor started, stopped at once")
                                                    : QStringLiteral("motor still"),
                                 said(c.messages.shown));
        } else {
            QVERIFY(ranAfterPress);
            QCOMPARE(driveAfterPress, 1);
            QCOMPARE(c.messages.shown, QStringList());
            c.outcome = QStringLiteral("runs while held, stops on release · %1").arg(said(c.messages.shown));
        }
        if (c.unplugged()) {
            CHECKED(c.closeChild());
            CHECKED(c.expectNothingPollsOffLine());
        }

        c.clearFault();
        if (c.unplugged()) {
            CHECKED(c.plugBackIn());
            w = openJog();
            QVERIFY(w);
            cw = w->findChild<JogDirectionButton *>(QStringLiteral("BtnJog_Forward1"));
        }
        c.messages.shown.clear();
        QTest::mousePress(w->windowHandle(), Qt::LeftButton, {}, at());
        QVERIFY(cw->running());
        QCOMPARE(c.drive->jogDirection(), 1);
        QTest::mouseRelease(w->windowHandle(), Qt::LeftButton, {}, at());
        QVERIFY(!cw->running());
        QCOMPARE(c.drive->jogDirection(), 0);
        QCOMPARE(c.messages.shown, QStringList());
    }

    void programmedJog(Cell &c)
    {
        auto openWindow = [&] {
            c.main.BtnAuto_JogClick();
            return qobject_cast<TForm_AUTOJOG *>(c.main.childWindows().current());
        };
        TForm_AUTOJOG *w = openWindow();
        QVERIFY(w);
        auto button = [&](const char *name) { return w->findChild<QPushButton *>(QLatin1String(name)); };
        c.messages.shown.clear();
        c.inject();
        c.held([&] { button("btnAJog1_On")->click(); });
        if (c.failing()) {
            // A start the drive may have taken without its answer arriving is followed at once
            // by Auto-JOG OFF; the user is told what is known.
            const char *told = c.fault == Fault::Exception ? texts::InstructionFail
                               : c.unplugged()             ? texts::MotorStateUnknown
                               : c.fault == Fault::Silence ? texts::PatternMayRun
                                                           : texts::PatternStartUnconfirmed;
            QCOMPARE(c.messages.shown, c.goneAway() << QString::fromLatin1(told));
            QVERIFY(button("btnAJog2_On")->isEnabled());
            QCOMPARE(c.drive->programmedJogMode(), 0);
            c.outcome = QStringLiteral("%1 (drive in mode %2) · %3")
                            .arg(c.fault == Fault::Exception ? QStringLiteral("refused")
                                 : c.requestArrived()         ? QStringLiteral("started, stopped again at once")
                                                              : QStringLiteral("not started"))
                            .arg(c.drive->programmedJogMode())
                            .arg(said(c.messages.shown));
        } else {
            QCOMPARE(c.messages.shown, QStringList());
            QVERIFY(!button("btnAJog2_On")->isEnabled());
            QCOMPARE(c.drive->programmedJogMode(), 1);
            c.outcome = QStringLiteral("mode 1 runs, mode 2 disabled · %1").arg(said(c.messages.shown));
        }
        if (c.unplugged()) {
            CHECKED(c.closeChild());
            CHECKED(c.expectNothingPollsOffLine());
        }

        c.clearFault();
        if (c.unplugged()) {
            CHECKED(c.plugBackIn());
            w = openWindow();
            QVERIFY(w);
        }
        c.messages.shown.clear();
        button("btnAJog1_On")->click();
        QCOMPARE(c.messages.shown, QStringList());
        QCOMPARE(c.drive->programmedJogMode(), 1);
        QVERIFY(!button("btnAJog2_On")->isEnabled());
    }

    void inputWrite(Cell &c)
    {
        auto openPanel = [&] {
            c.main.INPUT_PORTClick();
            return qobject_cast<TForm_Input_IO *>(c.main.childWindows().current());
        };
        QVERIFY(c.waitPollCycles(1)); // the panel starts from the inputs the poller saw
        TForm_Input_IO *panel = openPanel();
        QVERIFY(panel);
        const uint16_t before = c.drive->inputs();
        auto drivePattern = [](uint16_t word) { return uint16_t(~word & 0x0FFF); };
        QCOMPARE(drivePattern(panel->inputControlWord()), before);
        const bool was = panel->inputOn(1);

        const uint16_t asked = panel->inputControlWord() ^ uint16_t(1u << 1);
        c.messages.shown.clear();
        c.inject();
        c.held([&] { panel->findChild<QAbstractButton *>(QStringLiteral("SW_SPD1"))->click(); });
        const bool written = c.drive->inputs() == drivePattern(asked);
        QCOMPARE(written, c.requestArrived());
        if (!written)
            QCOMPARE(c.drive->inputs(), before);
        // Only a confirmed write shows as done. A refused one did not happen: the panel goes
        // back and says so. Without a good reply it may have happened or not: the panel shows
        // what the drive last confirmed, says the state is unknown, and the user is told.
        const bool refused = c.fault == Fault::Exception;
        const bool confirmed = !c.failing();
        QCOMPARE(panel->inputOn(1), confirmed ? !was : was);
        QCOMPARE(panel->stateUnknown(), !confirmed && !refused);
        QCOMPARE(c.messages.shown, refused       ? QStringList{QString::fromLatin1(texts::InstructionFail)}
                                   : confirmed   ? QStringList()
                                   : c.unplugged() ? c.goneAway()
                                                 : QStringList{QString::fromLatin1(texts::InputsUnconfirmed)});
        c.outcome = (confirmed ? QStringLiteral("written · %1")
                     : refused ? QStringLiteral("refused, the panel switches SPD1 back · %1")
                               : written ? QStringLiteral("written but unconfirmed: the panel shows SPD1 as last confirmed, state unknown · %1")
                                         : QStringLiteral("not written: the panel shows SPD1 as last confirmed, state unknown · %1"))
                        .arg(said(c.messages.shown));
        if (c.unplugged()) {
            CHECKED(c.closeChild());
            CHECKED(c.expectNothingPollsOffLine());
        }

        c.clearFault();
        if (c.unplugged()) {
            CHECKED(c.plugBackIn());
            QVERIFY(c.waitPollCycles(1));
            panel = openPanel();
            QVERIFY(panel);
        }
        c.messages.shown.clear();
        panel->findChild<QAbstractButton *>(QStringLiteral("SW_SPD1"))->click();
        QCOMPARE(c.drive->inputs(), drivePattern(panel->inputControlWord()));
        QCOMPARE(c.messages.shown, QStringList());
        QVERIFY(!panel->stateUnknown());
    }

    void chart(Cell &c)
    {
        auto openWindow = [&] {
            c.main.Monitor1Click();
            return qobject_cast<TForm_Chart *>(c.main.childWindows().current());
        };
        QVERIFY(c.drive->setRegister(11, 321)); // CMD Speed, series 1
        TForm_Chart *w = openWindow();
        QVERIFY(w);
        auto samples = [&] { return w->series(1)->count(); };
        auto allTheDrives = [&] {
            for (qint64 i = 0; i < samples(); ++i)
                if (w->series(1)->y(i) != 321.0)
                    return false;
            return true;
        };
        const QString chartFailure = QString::fromUtf8(kChartLinkFailure);
        auto *start = w->findChild<QPushButton *>(QStringLiteral("Btn_Start"));
        auto *stop = w->findChild<QPushButton *>(QStringLiteral("Btn_Stop"));

        // A timely reply misses the sampler's wait only when the user-interface thread could
        // not hand it over for a whole wait; on a machine that busy more samples may drop.
        auto starved = [](qint64 stall) { return stall >= kWorkerWaitMs - 20; };

        c.messages.shown.clear();
        c.inject();
        qint64 stall = c.held([&] { start->click(); });
        const auto watch = [&] {
            if (c.fault == Fault::Silence || c.unplugged()) {
                QTRY_VERIFY_WITH_TIMEOUT(c.messages.shown.contains(chartFailure), 5000);
                QTRY_VERIFY(start->isEnabled());
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(samples() >= 5, 5000);
            }
        };
        stall = std::max(stall, c.held(watch, false));
        if (QTest::currentTestFailed())
            return;
        stall = std::max(stall, c.held([&] { stop->click(); }));
        QVERIFY(allTheDrives());
        const int lost = w->sampleCounter() - int(samples());
        if (c.fault == Fault::Silence || c.unplugged()) {
            QCOMPARE(c.messages.shown, c.goneAway() << chartFailure);
            QCOMPARE(samples(), qint64(0));
            QCOMPARE(c.main.session().link.linkFailed.load(), uint8_t(0));
            c.outcome = QStringLiteral("sampling ends after three silent waits, nothing plotted · %1")
                            .arg(said(c.messages.shown));
        } else {
            QCOMPARE(c.messages.shown, QStringList());
            // A late reply is the same read's answer: the next request takes it as its own.
            const int expectedLost = c.failing() ? 1 : 0;
            if (starved(stall))
                QVERIFY2(lost >= expectedLost, qPrintable(QString::number(lost)));
            else
                QCOMPARE(lost, expectedLost);
            c.outcome = QStringLiteral("%1, sampling goes on · %2")
                            .arg(lost ? QStringLiteral("%1 sample%2 dropped").arg(lost).arg(lost > 1 ? "s" : "")
                                      : QStringLiteral("every sample plotted"),
                                 said(c.messages.shown));
        }
        if (c.unplugged()) {
            CHECKED(c.closeChild());
            CHECKED(c.expectNothingPollsOffLine());
        }

        c.clearFault();
        if (c.unplugged()) {
            CHECKED(c.plugBackIn());
            w = openWindow();
            QVERIFY(w);
            start = w->findChild<QPushButton *>(QStringLiteral("Btn_Start"));
            stop = w->findChild<QPushButton *>(QStringLiteral("Btn_Stop"));
        }
        c.messages.shown.clear();
        const int lostBefore = w->sampleCounter() - int(samples());
        const qint64 had = samples();
        QElapsedTimer beat;
        qint64 cleanStall = 0;
        QTimer heartbeat;
        QObject::connect(&heartbeat, &QTimer::timeout, [&] { cleanStall = std::max(cleanStall, beat.restart()); });
        beat.start();
        heartbeat.start(2);
        start->click();
        QTRY_VERIFY_WITH_TIMEOUT(samples() >= had + 3, 5000);
        stop->click();
        heartbeat.stop();
        const int lostNow = w->sampleCounter() - int(samples());
        if (starved(std::max(cleanStall, beat.elapsed())))
            QVERIFY(lostNow >= lostBefore);
        else
            QCOMPARE(lostNow, lostBefore);
        QVERIFY(allTheDrives());
        QCOMPARE(c.messages.shown, QStringList());
    }

    void report(Cell &c)
    {
        auto openWindow = [&] {
            c.main.Report1Click();
            return qobject_cast<TForm_Report *>(c.main.childWindows().current());
        };
        TForm_Report *w = openWindow();
        QVERIFY(w);
        QVERIFY(c.drive->raiseAlarm(7));
        auto cells = [&](int g) {
            const ReportPlace place = ReportSheet::groupPlace(g);
            QStringList texts;
            for (int i = 0; i < int(ParamGroups[size_t(g - 1)].defs.size()); ++i)
                texts << w->sheet().text(place.firstRow + i, place.column);
            return texts;
        };
        auto history = [&] { return w->sheet().text(ReportSheet::kHistoryFirstRow, ReportSheet::kStatusValueColumn); };

        c.messages.shown.clear();
        c.injectAfterReplies(1); // P1 goes first: without it there is no motor code at all
        c.held([&] { w->Button_ReadClick(); });
        // A group's cells are the drive's values or empty, never anything else.
        QStringList emptied;
        for (int g = 1; g <= 9; ++g) {
            const QStringList shown = cells(g);
            if (shown == driveTexts(*c.drive, g))
                continue;
            QCOMPARE(shown, QStringList(shown.size(), QString()));
            emptied << QStringLiteral("P%1").arg(g);
        }
        const bool silent = c.fault == Fault::Silence || c.unplugged();
        if (!c.failing()) {
            QCOMPARE(emptied, QStringList());
        } else if (silent) {
            QCOMPARE(emptied, (QStringList{"P2", "P3", "P4", "P5", "P6", "P7", "P8", "P9"}));
        } else {
            QCOMPARE(emptied, QStringList{"P2"});
        }
        QCOMPARE(history(), silent ? QString() : QStringLiteral("FOLLOW ERR"));
        const QStringList messages =
            silent ? c.goneAway() << QString::fromLatin1(texts::InstructionFail) : QStringList();
        QCOMPARE(c.messages.shown, messages);
        c.outcome = emptied.isEmpty()
                        ? QStringLiteral("every cell filled · %1").arg(said(c.messages.shown))
                        : QStringLiteral("%1 cells left empty%2 · %3")
                              .arg(emptied.size() > 1 ? QStringLiteral("%1..%2").arg(emptied.first(), emptied.last())
                                                      : emptied.first(),
                                   silent ? QStringLiteral(", history too") : QString(), said(c.messages.shown));
        if (c.unplugged()) {
            CHECKED(c.closeChild());
            CHECKED(c.expectNothingPollsOffLine());
        }

        c.clearFault();
        if (c.unplugged()) {
            CHECKED(c.plugBackIn());
            w = openWindow();
            QVERIFY(w);
        }
        c.messages.shown.clear();
        w->Button_ReadClick();
        for (int g = 1; g <= 9; ++g)
            QCOMPARE(cells(g), driveTexts(*c.drive, g));
        QCOMPARE(history(), QStringLiteral("FOLLOW ERR"));
        QCOMPARE(c.messages.shown, QStringList());
    }

    static QString matrixMarkdown(bool withTimes);

private slots:
    // The device goes away while a command, or a window as it opens, waits for the status
    // poller's cycle to end: the Off-Line action stops the same poller from inside that wait.
    void deviceLostWhileThePollerStops_data()
    {
        QTest::addColumn<bool>("window");
        QTest::newRow("alarm history display") << false;
        QTest::newRow("parameter page opening") << true;
    }

    void deviceLostWhileThePollerStops()
    {
        QFETCH(bool, window);
        Cell c{window ? Op::PageRead : Op::AlarmHistory, Fault::Unplugged};
        QVERIFY(c.goOnLine());
        QVERIFY(c.main.poller() && c.main.poller()->isRunning());
        QPointer<PullablePort> device = c.device;
        QTimer::singleShot(0, device.data(), [device] { device->simulateUnplug(); });
        if (window)
            c.main.openParamPage(2);
        else
            c.main.btnALS_03Click();
        // The command ran on against the closed port and gave up; nothing polls.
        QCOMPARE(c.messages.shown, window ? c.goneAway() : c.goneAway() << QString::fromLatin1(texts::InstructionFail));
        CHECKED(c.closeChild());
        CHECKED(c.expectNothingPollsOffLine());
        // Back on line once the adapter is in again.
        QVERIFY(c.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(c.waitPollCycles(1));
    }

    void cleanup()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void cell_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("fault");
        for (int op = 0; op < kOpCount; ++op)
            for (int f = 0; f < kFaultCount; ++f)
                QTest::addRow("%s / %s", info(Op(op)).name, faultName(Fault(f))) << op << f;
    }

    void cell()
    {
        QFETCH(int, op);
        QFETCH(int, fault);
        Cell c{Op(op), Fault(fault)};
        // The result goes into the table however the cell ends.
        struct Record {
            Cell &c;
            ~Record()
            {
                Result &r = results()[{int(c.op), int(c.fault)}];
                r.outcome = c.outcome;
                r.heldMs = c.heldMs;
                r.stallMs = c.stallMs;
                r.failed = QTest::currentTestFailed();
            }
        } record{c};
        QVERIFY(c.goOnLine());
        switch (Op(op)) {
        case Op::Polling: polling(c); break;
        case Op::PageRead: pageRead(c); break;
        case Op::SetGuard: setValue(c, false); break;
        case Op::SetWrite: setValue(c, true); break;
        case Op::Backup: backup(c); break;
        case Op::Restore: restore(c); break;
        case Op::AlarmReset: alarmReset(c); break;
        case Op::AlarmHistory: alarmHistory(c); break;
        case Op::Jog: jog(c); break;
        case Op::ProgrammedJog: programmedJog(c); break;
        case Op::InputWrite: inputWrite(c); break;
        case Op::Chart: chart(c); break;
        case Op::Report: report(c); break;
        case Op::Count: break;
        }
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(c.heldMs <= heldBoundMs(Op(op)),
                 qPrintable(QStringLiteral("held %1 ms, allowed %2 ms").arg(c.heldMs).arg(heldBoundMs(Op(op)))));
    }

    void lifecycle_data()
    {
        QTest::addColumn<int>("window");
        QTest::addColumn<int>("life");
        for (int w = 0; w < kLifeWindowCount; ++w)
            for (int l = 0; l < kLifeCount; ++l)
                QTest::addRow("%s / %s", lifeWindowName(LifeWindow(w)), lifeName(Life(l))) << w << l;
    }

    void lifecycle()
    {
        QFETCH(int, window);
        QFETCH(int, life);
        Cell c{Op::Jog, Fault::Unplugged};
        struct Record {
            Cell &c;
            int w, l;
            ~Record()
            {
                Result &r = lifeResults()[{w, l}];
                r.outcome = c.outcome;
                r.failed = QTest::currentTestFailed();
            }
        } record{c, window, life};
        QVERIFY(c.goOnLine());
        const QString unknown = QString::fromLatin1(texts::MotorStateUnknown);
        const uint16_t inputsBefore = c.drive->inputs();
        auto child = [&]() -> QWidget * { return c.main.childWindows().current(); };
        auto find = [&](const char *name) { return child()->findChild<QAbstractButton *>(QLatin1String(name)); };
        // Opens the window and starts what it runs.
        auto start = [&]() -> bool {
            switch (LifeWindow(window)) {
            case LifeWindow::Jog: {
                c.main.BtnJOGClick();
                auto *w = qobject_cast<TForm_JOG *>(child());
                if (!w || !QTest::qWaitForWindowExposed(w))
                    return false;
                find("BtnJogOn")->click();
                auto *cw = w->findChild<JogDirectionButton *>(QStringLiteral("BtnJog_Forward1"));
                QTest::mousePress(w->windowHandle(), Qt::LeftButton, {}, cw->mapTo(w, cw->rect().center()));
                return c.drive->jogDirection() == 1;
            }
            case LifeWindow::AutoJog:
                c.main.BtnAuto_JogClick();
                if (!child())
                    return false;
                find("btnAJog1_On")->click();
                return c.drive->programmedJogMode() == 1;
            case LifeWindow::AutoTuning:
                c.main.BtnAutoTuneClick();
                if (!child())
                    return false;
                find("Rbtn_01")->click();
                find("btnAutoJog_ON")->click();
                return c.drive->programmedJogMode() == 1;
            case LifeWindow::Input:
                if (!c.waitPollCycles(1))
                    return false;
                c.main.INPUT_PORTClick();
                if (!child())
                    return false;
                find("SW_SVONEN")->click();
                return c.drive->inputs() == (inputsBefore ^ 1u);
            case LifeWindow::Count: break;
            }
            return false;
        };
        auto running = [&] {
            switch (LifeWindow(window)) {
            case LifeWindow::Jog: return c.drive->jogDirection() != 0;
            case LifeWindow::AutoJog:
            case LifeWindow::AutoTuning: return c.drive->programmedJogMode() != 0;
            case LifeWindow::Input: return true;
            case LifeWindow::Count: break;
            }
            return false;
        };
        c.messages.shown.clear();
        QVERIFY(start());
        const bool motion = LifeWindow(window) != LifeWindow::Input;

        switch (Life(life)) {
        case Life::CloseWhileRunning: {
            QPointer<QWidget> w = child();
            w->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (LifeWindow(window) == LifeWindow::AutoTuning) {
                // Only this window can stop the pattern: it does not close while the pattern runs.
                QVERIFY(w && w->isVisible());
                QVERIFY(running());
                find("btnAutoJog_Off")->click();
                QVERIFY(!running());
                CHECKED(c.closeChild());
                c.outcome = QStringLiteral("close refused while the pattern runs; Stop, then it closes");
            } else if (LifeWindow(window) == LifeWindow::Jog) {
                QVERIFY(!w);
                QVERIFY(!running());
                c.outcome = QStringLiteral("the two stop frames go first: motor stopped, window closed");
            } else if (LifeWindow(window) == LifeWindow::AutoJog) {
                QVERIFY(!w);
                QVERIFY(running());
                c.outcome = QStringLiteral("closes and sends nothing: the pattern runs on (shown on reopening)");
            } else {
                QVERIFY(!w);
                QVERIFY(c.drive->inputs() != inputsBefore);
                c.outcome = QStringLiteral("closes and sends nothing: the forced input stays as the drive confirmed it");
            }
            QTRY_VERIFY(c.waitPollCycles(1));
            QCOMPARE(c.messages.shown, QStringList());
            break;
        }
        case Life::LinkLostWhileOpen: {
            c.device->simulateUnplug();
            const QStringList expected = motion ? c.goneAway() << unknown : c.goneAway();
            QTRY_COMPARE(c.messages.shown, expected);
            QVERIFY(find("btnClose") == nullptr || find("btnClose")->isEnabled());
            if (LifeWindow(window) == LifeWindow::Input) {
                // A switch with the link down: nothing shows as done, and the user is told.
                auto *panel = qobject_cast<TForm_Input_IO *>(child());
                const bool was = panel->inputOn(1);
                find("SW_SPD1")->click();
                QCOMPARE(panel->inputOn(1), was);
                QVERIFY(panel->stateUnknown());
                QCOMPARE(c.messages.shown.last(), QString::fromLatin1(texts::InputsUnconfirmed));
            }
            CHECKED(c.closeChild());
            CHECKED(c.expectNothingPollsOffLine());
            c.outcome = motion ? QStringLiteral("the window says the motor's state is unknown; Close offered · %1")
                                     .arg(said(c.messages.shown))
                               : QStringLiteral("a switch then shows nothing as done, state unknown · %1")
                                     .arg(said(c.messages.shown));
            CHECKED(c.plugBackIn());
            break;
        }
        case Life::ReopenWhileRunning: {
            if (LifeWindow(window) == LifeWindow::AutoTuning)
                find("btnAutoJog_Off")->click(); // it can not close while the pattern runs
            CHECKED(c.closeChild());
            QVERIFY(c.waitPollCycles(1));
            switch (LifeWindow(window)) {
            case LifeWindow::Jog:
                c.main.BtnJOGClick();
                QVERIFY(!running());
                QVERIFY(!find("BtnJog_Forward1")->isVisible());
                c.outcome = QStringLiteral("closing stopped the motor; reopens in its start state");
                break;
            case LifeWindow::AutoJog:
                c.main.BtnAuto_JogClick();
                QVERIFY(running());
                QCOMPARE(child()->findChild<QLabel *>(QStringLiteral("lblAutoJogState"))->text(),
                         QStringLiteral("Running: Mode 1"));
                QVERIFY(!find("btnAJog2_On")->isEnabled());
                find("btnAJog_Off")->click();
                QVERIFY(!running());
                c.outcome = QStringLiteral("reopens showing \"Running: Mode 1\"; Auto-JOG OFF stops it");
                break;
            case LifeWindow::AutoTuning:
                c.main.BtnAutoTuneClick();
                QVERIFY(!running());
                QVERIFY(find("btnAutoJog_ON")->isEnabled() && find("btnClose")->isEnabled());
                c.outcome = QStringLiteral("closes only once stopped; reopens stopped");
                break;
            case LifeWindow::Input: {
                c.main.INPUT_PORTClick();
                auto *panel = qobject_cast<TForm_Input_IO *>(child());
                QCOMPARE(panel->inputOn(0), (c.drive->inputs() & 1) != 0);
                c.outcome = QStringLiteral("reopens showing the inputs as the drive reports them");
                break;
            }
            case LifeWindow::Count: break;
            }
            QCOMPARE(c.messages.shown, QStringList());
            CHECKED(c.closeChild());
            break;
        }
        case Life::Count: break;
        }
    }

    void cleanupTestCase()
    {
        qInfo().noquote() << "\n" + matrixMarkdown(true);
        if (qEnvironmentVariable("VELMORA_WRITE_MATRIX") != QLatin1String("1"))
            return;
        // docs/ beside tests/, found from this file's own place.
        const QString path = QDir::cleanPath(QFileInfo(QStringLiteral(__FILE__)).absolutePath()
                                             + QStringLiteral("/../docs/fault-matrix.md"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            qWarning("can not write %s", qPrintable(path));
        else
            file.write(matrixMarkdown(false).toUtf8());
    }
};

QString TestFaultMatrix::matrixMarkdown(bool withTimes)
{
    QString md;
    QTextStream out(&md);
    out << "# Fault matrix\n\n"
        << "Every operation family run against the simulated drive under each line fault, by "
           "`tests/tst_fault_matrix.cpp`. Each cell starts a fresh main window on line, puts the fault on the "
           "wire just before the exchange named in its row, runs the operation as the user would and checks what "
           "the user is shown and what the drive now holds; then it clears the fault (after a lost device: plugs "
           "it back in and goes on line again) and runs the same operation once more, which must succeed. "
           "Nothing shown as read from the drive ever comes from a lost, bad or refused reply: displays keep or "
           "empty their text, samples are dropped, report cells stay empty.\n\n"
        << "Where a reply is lost, late or corrupted the drive has still carried the request out, so a command "
           "the tool reports as failed may have been done (\"done in the drive\", \"motor ran\").\n\n"
        << "The reply wait is shortened to " << kWaitMs << " ms (1000 ms in use; " << kWorkerWaitMs
        << " ms for status polling and chart sampling, whose waits run on a worker thread). A late reply is "
           "held back until the tool sends its next request and then arrives first, inside that request's wait, "
           "as a reply 1100 ms late does; where the operation sends nothing more, it comes with the next "
           "operation's first request. The user-interface thread may be held at most the row's exchanges times "
           "(wait + "
        << kMarginPerExchangeMs << " ms), plus the operation's own pauses and " << kBaseMarginMs << " ms";
    if (withTimes)
        out << "; each cell ends with the time it was held";
    out << ".\n\nBeside the table, `deviceLostWhileThePollerStops` pulls the device out while a command, or a "
           "window as it opens, waits for the status poller to stop: the tool goes off line with its error box, "
           "the command gives up, and nothing polls the closed port.\n\n"
        << "Regenerate with `VELMORA_WRITE_MATRIX=1 tests/tst_fault_matrix`.\n\n"
        << "| Fault | What happens on the line |\n|---|---|\n";
    for (int f = 0; f < kFaultCount; ++f)
        out << "| " << faultName(Fault(f)) << " | " << faultMeaning(Fault(f)) << " |\n";
    out << "\n| Operation (the fault lands on) |";
    for (int f = 0; f < kFaultCount; ++f)
        out << ' ' << faultName(Fault(f)) << " |";
    out << "\n|---|";
    for (int f = 0; f < kFaultCount; ++f)
        out << "---|";
    out << '\n';
    for (int op = 0; op < kOpCount; ++op) {
        out << "| **" << info(Op(op)).name << "** (" << info(Op(op)).landsOn << ") |";
        for (int f = 0; f < kFaultCount; ++f) {
            const auto it = results().find({op, f});
            if (it == results().end()) {
                out << " not run |";
                continue;
            }
            const Result &r = it->second;
            QString text = r.outcome.isEmpty() ? QStringLiteral("?") : r.outcome;
            if (r.failed)
                text = QStringLiteral("**FAILED** ") + text;
            if (withTimes && r.heldMs >= 0)
                text += QStringLiteral(" · %1 ms").arg(r.heldMs);
            out << ' ' << text.replace(QLatin1Char('|'), QStringLiteral("\\|")) << " |";
        }
        out << '\n';
    }
    out << "\n## Window life cycles\n\nA window that runs something (the motor, a pattern, forced inputs) "
           "closed while it runs, with the link lost while it is open, and opened again while it runs.\n\n"
        << "| Window |";
    for (int l = 0; l < kLifeCount; ++l)
        out << ' ' << lifeName(Life(l)) << " |";
    out << "\n|---|";
    for (int l = 0; l < kLifeCount; ++l)
        out << "---|";
    out << '\n';
    for (int w = 0; w < kLifeWindowCount; ++w) {
        out << "| **" << lifeWindowName(LifeWindow(w)) << "** |";
        for (int l = 0; l < kLifeCount; ++l) {
            const auto it = lifeResults().find({w, l});
            QString text = it == lifeResults().end() ? QStringLiteral("not run")
                           : it->second.outcome.isEmpty() ? QStringLiteral("?")
                                                          : it->second.outcome;
            if (it != lifeResults().end() && it->second.failed)
                text = QStringLiteral("**FAILED** ") + text;
            out << ' ' << text.replace(QLatin1Char('|'), QStringLiteral("\\|")) << " |";
        }
        out << '\n';
    }
    if (withTimes) {
        auto worst = std::max_element(results().begin(), results().end(),
                                      [](const auto &a, const auto &b) { return a.second.stallMs < b.second.stallMs; });
        if (worst != results().end())
            out << "\nLongest the event loop went without running a timer: " << worst->second.stallMs << " ms ("
                << info(Op(worst->first.first)).name << ", " << faultName(Fault(worst->first.second)) << ").\n";
    }
    return md;
}

QTEST_MAIN(TestFaultMatrix)
#include "tst_fault_matrix.moc"
