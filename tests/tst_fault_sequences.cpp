// Seeded random sequences of line faults across the main window's operations, with the
// invariants checked after every step: the event loop never stalls past 1.5 s, nothing
// deadlocks (the test's own watchdog), at most one message box is open at a time, nothing
// shown comes from a request without a good reply, and going on line again works.
//
// CTest runs a fixed set of seeds. VELMORA_SEQ_SEEDS="7 42" runs those seeds instead,
// VELMORA_SEQ_SEEDS=random:N runs N random ones, VELMORA_SEQ_STEPS sets the steps per seed
// (scripts/fault-sequences.sh runs it for longer). Every seed is printed.
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QComboBox>
#include <QTest>

#include "FaultTools.h"
#include "MainRig.h"
#include "params/DisplayRules.h"
#include "params/ParamPages.h"
#include "params/ReportWindows.h"
#include "tuning/MonitorWindow.h"

using namespace velmora;

namespace {

using Rig = MainRigWith<ModalMessages>;

constexpr int kDefaultSteps = 14;
constexpr qint64 kStallLimitMs = 1500;
constexpr int kSeedLimitMs = 240000;
// Status items whose values stay put while the motor stands: St-04, St-05, St-12, St-13, St-18.
constexpr std::array<int, 5> kSteadyItems{4, 5, 12, 13, 18};

QList<quint32> seeds()
{
    const QString chosen = qEnvironmentVariable("VELMORA_SEQ_SEEDS");
    QList<quint32> list;
    if (chosen.startsWith(QLatin1String("random:"))) {
        const int n = chosen.mid(7).toInt();
        for (int i = 0; i < n; ++i)
            list << QRandomGenerator::global()->generate();
        return list;
    }
    for (const QString &s : chosen.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        list << s.toUInt();
    if (list.isEmpty())
        list = {1, 2, 3, 4};
    return list;
}

struct Sequence {
    Rig rig;
    QRandomGenerator random;
    QTemporaryDir dir;
    QStringList labels;                  // the lamp labels once the drive has answered
    std::array<QString, 19> steady;      // the steady status texts, by item number
    QStringList log;
    int step = 0;

    explicit Sequence(quint32 seed) : random(seed) {}

    int pick(int n) { return int(random.bounded(quint32(n))); }
    QStringList lampLabels()
    {
        QStringList texts;
        for (QLabel *l : rig.main.findChildren<QLabel *>(QRegularExpression(QStringLiteral("^Lbl_(In|Out)put_"))))
            texts << l->text();
        return texts;
    }
    QString statusText(int item)
    {
        return rig.main.findChild<QLabel *>(QStringLiteral("STextSt_%1").arg(item, 2, 10, QLatin1Char('0')))->text();
    }
    void note(const QString &what) { log << QStringLiteral("%1: %2").arg(step).arg(what); }
    QString trace() const { return log.join(QLatin1Char('\n')); }

    void clearFaults()
    {
        rig.drive->setSilent(false);
        rig.drive->corruptNextCrc(0);
        rig.drive->dropNextReplies(0);
        rig.drive->exceptionNextReplies(0, 4);
        rig.drive->delayNextReply(0);
    }

    bool goOnLine()
    {
        if (rig.main.port().isOpen())
            rig.main.BtnOff_LineClick();
        rig.usePort(1);
        return rig.main.onLineSequence(QStringLiteral("1")) && rig.waitPollCycles(2);
    }

    // One fault on the wire, or none.
    void injectFault()
    {
        const int wait = rig.main.session().responseWaitMs;
        switch (pick(8)) {
        case 0: {
            note(QStringLiteral("silence"));
            rig.drive->setSilent(true);
            const int ms = 200 + pick(1500);
            QTimer::singleShot(ms, &rig.main, [d = rig.drive] { d->setSilent(false); });
            break;
        }
        case 1: {
            note(QStringLiteral("unplug"));
            QPointer<SimulatedPort> port = qobject_cast<SimulatedPort *>(rig.main.port().current());
            QTimer::singleShot(pick(300), &rig.main, [this, port] {
                if (port && rig.main.port().isOpen() && rig.main.port().current() == port.data())
                    port->simulateUnplug();
            });
            break;
        }
        case 2:
            note(QStringLiteral("late reply"));
            rig.drive->delayNextReply(wait + 100);
            break;
        case 3: {
            const int n = 1 + pick(9);
            note(QStringLiteral("%1 corrupt replies").arg(n));
            rig.drive->corruptNextCrc(n);
            break;
        }
        case 4:
            note(QStringLiteral("stray bytes"));
            rig.drive->injectStrayBytes(QByteArray::fromHex("00ff13"));
            break;
        case 5: {
            const int n = 1 + pick(3);
            note(QStringLiteral("%1 refusals").arg(n));
            rig.drive->exceptionNextReplies(n, 4);
            break;
        }
        default:
            note(QStringLiteral("no fault"));
            break;
        }
    }

    bool enabled(const char *button) { return rig.button(button)->isEnabled() && rig.main.isEnabled(); }

    void closeChild()
    {
        if (QWidget *child = rig.main.childWindows().current())
            child->close();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.main.childWindows().isOpen(), 5000);
    }

    // One operation as a user would run it.
    void operate()
    {
        switch (pick(6)) {
        case 0:
            note(QStringLiteral("watch the status"));
            QTest::qWait(150 + pick(300));
            break;
        case 1: {
            if (!enabled("BtnP3"))
                return note(QStringLiteral("P3 not offered"));
            note(QStringLiteral("P3: Set P3-05, Read Again"));
            rig.main.openParamPage(3);
            auto *page = qobject_cast<TForm_Page *>(rig.main.childWindows().current());
            QVERIFY(page);
            const float before = float(rig.drive->registerValue(304));
            auto *edit = qobject_cast<QLineEdit *>(page->entry(4));
            QVERIFY(edit);
            edit->setText(QString::number(10 + pick(160) / 2.0));
            page->setClicked(4);
            const float after = float(rig.drive->registerValue(304));
            const QString shown = page->valueDisplay(4)->text();
            const QStringList truth{QString(), FormatParamValue(before, P3Defs[4].Decimals),
                                    FormatParamValue(after, P3Defs[4].Decimals)};
            QVERIFY2(truth.contains(shown), qPrintable(shown + QStringLiteral(" | ") + truth.join(QLatin1Char(','))));
            page->btnReflashClick();
            const QString again = page->valueDisplay(4)->text();
            QVERIFY2(again.isEmpty() || again == FormatParamValue(float(rig.drive->registerValue(304)), P3Defs[4].Decimals),
                     qPrintable(again));
            closeChild();
            break;
        }
        case 2: {
            if (!rig.main.isEnabled() || !rig.main.findChild<QMenu *>(QStringLiteral("TOOLS1"))->menuAction()->isEnabled())
                return note(QStringLiteral("backup not offered"));
            note(QStringLiteral("backup"));
            const QString path = dir.filePath(QStringLiteral("b%1.vpf").arg(step));
            rig.messages.answers = {true};
            rig.messages.files = {path};
            rig.main.UpLoad1Click();
            for (TForm_Save_Report *view : rig.main.findChildren<TForm_Save_Report *>())
                view->close();
            QTRY_VERIFY_WITH_TIMEOUT(rig.main.isEnabled(), 5000);
            rig.messages.answers.clear();
            rig.messages.files.clear();
            break;
        }
        case 3: {
            if (!rig.main.isEnabled() || !rig.main.findChild<QMenu *>(QStringLiteral("TOOLS1"))->menuAction()->isEnabled())
                return note(QStringLiteral("monitor not offered"));
            note(QStringLiteral("monitor"));
            rig.main.Monitor1Click();
            auto *chart = qobject_cast<TForm_Chart *>(rig.main.childWindows().current());
            QVERIFY(chart);
            // An alarm capture puts the alarm reads between the samples.
            if (pick(2)) {
                chart->findChild<QComboBox *>(QStringLiteral("cmb_TriggerSource"))->setCurrentIndex(4);
                chart->armCapture(true);
            }
            chart->Btn_StartClick();
            QTest::qWait(150 + pick(400));
            if (pick(2))
                chart->setPaused(true);
            QTest::qWait(pick(200));
            if (pick(2))
                chart->Btn_StopClick(); // else closed while it samples
            closeChild();
            break;
        }
        case 4:
            if (!enabled("btnALS_02"))
                return note(QStringLiteral("alarm reset not offered"));
            note(QStringLiteral("alarm reset"));
            rig.main.btnALS_02Click();
            break;
        default:
            if (rig.button("BtnON_Line")->isEnabled() && rig.main.isEnabled()) {
                note(QStringLiteral("on line again"));
                clearFaults();
                QVERIFY(goOnLine());
            } else {
                note(QStringLiteral("watch"));
                QTest::qWait(100);
            }
            break;
        }
    }

    void checkInvariants(const StallWatchdog &watchdog)
    {
        QVERIFY2(watchdog.longestStallMs() < kStallLimitMs,
                 qPrintable(QStringLiteral("stalled %1 ms\n%2").arg(watchdog.longestStallMs()).arg(trace())));
        QVERIFY2(rig.messages.maxOpen <= 1,
                 qPrintable(rig.messages.stacked.join(QLatin1Char('\n')) + QLatin1Char('\n') + trace()));
        QCOMPARE(lampLabels(), labels);
        for (int item : kSteadyItems) {
            const QString text = statusText(item);
            QVERIFY2(text.isEmpty() || text == steady[size_t(item)],
                     qPrintable(QStringLiteral("St-%1 shows %2\n%3").arg(item).arg(text, trace())));
        }
    }
};

} // namespace

class TestFaultSequences : public QObject {
    Q_OBJECT
private slots:
    void sequences_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : seeds())
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
    }

    void sequences()
    {
        QFETCH(quint32, seed);
        const int steps = qEnvironmentVariableIntValue("VELMORA_SEQ_STEPS") > 0
                              ? qEnvironmentVariableIntValue("VELMORA_SEQ_STEPS")
                              : kDefaultSteps;
        qInfo("fault sequence seed %u, %d steps", seed, steps);
        Sequence s(seed);
        StallWatchdog watchdog("a fault sequence", kSeedLimitMs);
        s.rig.messages.holdMs = 20; // each box stays up a moment, as a user reads it
        QVERIFY(s.goOnLine());
        s.labels = s.lampLabels();
        for (int item : kSteadyItems)
            s.steady[size_t(item)] = s.statusText(item);
        QVERIFY(!s.steady[18].isEmpty());
        watchdog.resetStall();

        for (s.step = 1; s.step <= steps; ++s.step) {
            s.injectFault();
            s.operate();
            if (QTest::currentTestFailed())
                qInfo("%s", qPrintable(s.trace()));
            QVERIFY(!QTest::currentTestFailed());
            s.checkInvariants(watchdog);
            if (QTest::currentTestFailed())
                return;
        }
        // Whatever state the sequence left, the tool goes on line again.
        s.clearFaults();
        QTRY_VERIFY_WITH_TIMEOUT(s.rig.main.isEnabled() && s.rig.messages.open == 0, 5000);
        QTest::qWait(300); // a silence's end and the last late reply
        QVERIFY2(s.goOnLine(), qPrintable(s.trace()));
        QVERIFY(s.rig.button("btnP1")->isEnabled());
        s.checkInvariants(watchdog);
        watchdog.done();
    }
};

QTEST_MAIN(TestFaultSequences)
#include "tst_fault_sequences.moc"
