// The monitoring window against the simulated drive: sampling on the wire, the signal
// texts, lost replies, link failure, the axis buttons, the table and closing.
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "MainRig.h"
#include "ReplyBuilder.h"
#include "link/FrameCodec.h"
#include "link/KeptSettings.h"
#include "shell/CommDialogs.h"
#include "tuning/ChartCsv.h"
#include "tuning/MonitorWindow.h"
#include "tuning/StripChart.h"

using namespace velmora;

namespace {

struct Rig : MainRig {
    TForm_Chart *window = nullptr;
    Rig()
    {
        usePort(1);
        if (!main.onLineSequence(QStringLiteral("1")))
            return;
        main.Monitor1Click();
        window = main.findChild<TForm_Chart *>();
    }
    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(QLatin1String(name)); }
    void select(int series, int item)
    {
        window->findChild<QComboBox *>(QStringLiteral("ComboBox_Series%1").arg(series))->setCurrentIndex(item - 1);
    }
    bool samplesAtLeast(qint64 n)
    {
        QElapsedTimer clock;
        clock.start();
        while (window->series(1)->count() < n && clock.elapsed() < 5000)
            QTest::qWait(5);
        return window->series(1)->count() >= n;
    }
};

} // namespace

class TestMonitorChart : public QObject {
    Q_OBJECT
private slots:
    void samplesTheStatusBlockBackToBack()
    {
        Rig rig;
        QVERIFY(rig.window);
        QVERIFY(!rig.main.isEnabled());
        QVERIFY(!rig.main.poller());
        rig.drive->setRegister(15, 65531); // CMD Pulse
        rig.drive->setRegister(24, 65531); // MULTI Turns
        rig.select(1, 5);
        rig.select(2, 14);
        QCOMPARE(rig.window->findChild<QLabel *>(QStringLiteral("Label_Series1"))->text(), QStringLiteral("CMD Pulse"));
        rig.drive->clearTraffic();
        rig.button("Btn_Start")->click();
        QVERIFY(!rig.button("Btn_Start")->isEnabled());
        QVERIFY(!rig.button("btnClose")->isEnabled());
        QVERIFY(!rig.window->findChild<QToolBar *>(QStringLiteral("ToolBar1"))->isEnabled());
        QVERIFY(rig.samplesAtLeast(5));
        rig.button("Btn_Stop")->click();
        QVERIFY(!rig.window->running());
        QVERIFY(rig.button("Btn_Start")->isEnabled() && rig.button("btnClose")->isEnabled());

        for (const QByteArray &r : rig.drive->requests())
            QCOMPARE(r, readFrame(11, 15));
        QCOMPARE(rig.window->series(1)->lastY().value(), -5.0);
        QCOMPARE(rig.window->series(2)->lastY().value(), 65531.0);
        ChartValueModel *model = rig.window->valueModel();
        QCOMPARE(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("CMD Pulse"));
        QCOMPARE(model->data(model->index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("1"));
        QCOMPARE(model->data(model->index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("-5"));
        QCOMPARE(model->data(model->index(0, 2), Qt::DisplayRole).toString(), QStringLiteral("65531"));
        // More than eleven samples: the table has grown by a row for each.
        QCOMPARE(model->rowCount(), ChartValueModel::kInitialRows + std::max(0, rig.window->sampleCounter() - 11));
    }

    void aLostReplyIsCountedButNotPlotted()
    {
        Rig rig;
        rig.drive->dropNextReplies(1);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(3));
        rig.button("Btn_Stop")->click();
        QCOMPARE(rig.window->sampleCounter(), int(rig.window->series(1)->count()) + 1);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void aLinkFailureEndsSampling()
    {
        Rig rig;
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(2));
        rig.drive->setSilent(true);
        QTRY_COMPARE_WITH_TIMEOUT(rig.messages.shown, QStringList{"통신포트 또는 케이블을 확인 하십시오!"}, 5000);
        QTRY_VERIFY(rig.button("Btn_Start")->isEnabled());
        QVERIFY(rig.button("btnClose")->isEnabled());
        QVERIFY(!rig.window->findChild<QToolBar *>(QStringLiteral("ToolBar1"))->isEnabled());
        QVERIFY(rig.window->running());
        QCOMPARE(rig.main.session().link.linkFailed.load(), uint8_t(0));

        // Once the drive answers again, Start samples with a fresh sampler.
        rig.drive->setSilent(false);
        const qint64 before = rig.window->series(1)->count();
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(before + 2));
        rig.button("Btn_Stop")->click();
        QVERIFY(rig.window->findChild<QToolBar *>(QStringLiteral("ToolBar1"))->isEnabled());
    }

    void axisButtonsAndClear()
    {
        Rig rig;
        StripChart *chart = rig.window->chart(1);
        // Before any sample: Zoom and Auto only switch the automatic scaling.
        rig.button("Btn_zoom")->click();
        QCOMPARE(chart->verticalAxis().minimum(), -100.0);
        rig.button("Btn_auto")->click();
        QVERIFY(chart->verticalAxis().automatic());
        QCOMPARE(chart->horizontalAxis().minimum(), -50.0);

        // Clear from a vertical axis scrolled to 400..600.
        QVERIFY(chart->verticalAxis().setRange(400, 600));
        rig.button("Btn_Clear")->click();
        QCOMPARE(chart->verticalAxis().minimum(), -100.0);
        QCOMPARE(chart->verticalAxis().maximum(), 100.0);
        QCOMPARE(chart->horizontalAxis().minimum(), -100.0);
        QCOMPARE(chart->horizontalAxis().maximum(), 0.0);
        QVERIFY(!chart->verticalAxis().automatic());

        rig.drive->setRegister(11, 1000); // CMD Speed, far above the axis
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(3));
        rig.button("Btn_Stop")->click();
        // The horizontal window keeps its width and ends at the newest sample.
        QCOMPARE(chart->horizontalAxis().maximum() - chart->horizontalAxis().minimum(), 100.0);
        rig.button("Btn_zoom")->click();
        QCOMPARE(chart->verticalAxis().maximum(), 1100.0);
        QCOMPARE(chart->verticalAxis().minimum(), 900.0);
        QCOMPARE(chart->horizontalAxis().minimum(), double(rig.window->series(1)->lastX().value() - 50));

        rig.button("Btn_Clear")->click();
        QCOMPARE(rig.window->series(1)->count(), 0);
        QCOMPARE(rig.window->sampleCounter(), 0);
        ChartValueModel *model = rig.window->valueModel();
        QVERIFY(model->data(model->index(0, 0), Qt::DisplayRole).toString().isEmpty());
        QCOMPARE(model->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("series4"));
    }

    void verticalFollowingAndTheScrollSwitch()
    {
        Rig rig;
        QPushButton *scroll = rig.button("Btn_Scroll_ONOFF");
        QVERIFY(scroll->isChecked()); // the button shows that following is on
        rig.drive->setRegister(11, 95);
        scroll->click(); // off
        QVERIFY(!scroll->isChecked());
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(2));
        rig.button("Btn_Stop")->click();
        // Off: the axis stays, yet the previous value follows the signal.
        QCOMPARE(rig.window->chart(1)->verticalAxis().maximum(), 100.0);
        QCOMPARE(rig.main.chartMemory().previous1, 95.0);

        scroll->click(); // on again
        QVERIFY(scroll->isChecked());
        rig.drive->setRegister(11, 105);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(rig.window->series(1)->count() + 2));
        rig.button("Btn_Stop")->click();
        // On: one scroll by the change from the previous value (10), not from 0 (105).
        QCOMPARE(rig.window->chart(1)->verticalAxis().maximum(), 110.0);

        // The switch is one setting for the run: a reopened window shows it as left.
        scroll->click();
        rig.window->close();
        QTRY_VERIFY(!rig.main.findChild<TForm_Chart *>());
        rig.main.Monitor1Click();
        auto *again = rig.main.findChild<TForm_Chart *>();
        QVERIFY(again);
        QVERIFY(!again->findChild<QPushButton *>(QStringLiteral("Btn_Scroll_ONOFF"))->isChecked());
    }

    // The signal must stay in view whatever the previous value was: after Clear, after
    // reopening with another lead signal, after a jump, with a lost reply between.
    void theSignalNeverLeavesTheChart()
    {
        Rig rig;
        StripChart *chart = rig.window->chart(1);
        const auto inView = [&chart](double y) {
            return chart->verticalAxis().minimum() <= y && y <= chart->verticalAxis().maximum();
        };
        rig.drive->setRegister(11, 500);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(3));
        rig.button("Btn_Stop")->click();
        QVERIFY(inView(500));
        QCOMPARE(chart->verticalAxis().maximum() - chart->verticalAxis().minimum(), 200.0);

        rig.button("Btn_Clear")->click();
        rig.drive->setRegister(11, -500);
        rig.drive->dropNextReplies(1);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(3));
        QVERIFY2(inView(-500), qPrintable(QStringLiteral("%1..%2").arg(chart->verticalAxis().minimum()).arg(chart->verticalAxis().maximum())));
        // A jump far outside while sampling: the axis comes to the signal.
        rig.drive->setRegister(11, 13690);
        QVERIFY(rig.samplesAtLeast(rig.window->series(1)->count() + 3));
        QVERIFY(inView(13690));
        rig.button("Btn_Stop")->click();

        // Reopened, with another lead signal on each chart.
        rig.window->close();
        QTRY_VERIFY(!rig.main.findChild<TForm_Chart *>());
        rig.main.Monitor1Click();
        rig.window = rig.main.findChild<TForm_Chart *>();
        QVERIFY(rig.window);
        chart = rig.window->chart(1);
        rig.drive->setRegister(13, 5000);  // CCW Speed Limit
        rig.drive->setRegister(20, 250.5); // Max Load Rate
        rig.select(1, 3);
        rig.select(3, 10);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(3));
        rig.button("Btn_Stop")->click();
        QCOMPARE(rig.window->series(1)->lastY().value(), 5000.0);
        QVERIFY2(inView(5000), qPrintable(QStringLiteral("%1..%2 prev %3").arg(chart->verticalAxis().minimum()).arg(chart->verticalAxis().maximum()).arg(rig.main.chartMemory().previous1)));
        const StripAxis &lower = rig.window->chart(2)->verticalAxis();
        QVERIFY(lower.minimum() <= 250.5 && 250.5 <= lower.maximum());
    }

    // "Follow both" keeps the second signal of a chart in view too; without it only the
    // first is followed.
    void followBothKeepsTheSecondSignalInView()
    {
        Rig rig;
        StripChart *chart = rig.window->chart(1);
        rig.drive->setRegister(11, 0);
        rig.drive->setRegister(12, 900);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(2));
        QVERIFY(chart->verticalAxis().maximum() < 900);
        rig.window->findChild<QCheckBox *>(QStringLiteral("chk_FollowBoth"))->setChecked(true);
        QVERIFY(rig.samplesAtLeast(rig.window->series(1)->count() + 2));
        rig.button("Btn_Stop")->click();
        QVERIFY(chart->verticalAxis().minimum() <= 0 && chart->verticalAxis().maximum() >= 900);
    }

    // Columns wide enough for "-99999.9" and their headings; one row per plotted sample,
    // numbered by the request it answered, the lost ones counted apart.
    void theValueTableReadsAndNumbersHonestly()
    {
        Rig rig;
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window));
        rig.select(3, 3); // CCW Speed Limit[RPM], the longest heading
        rig.drive->setRegister(11, -9999.9);
        rig.drive->dropNextReplies(1); // request 1 brings nothing
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(3));
        rig.drive->dropNextReplies(1);
        QVERIFY(rig.samplesAtLeast(rig.window->series(1)->count() + 3));
        rig.button("Btn_Stop")->click();

        auto *table = rig.window->findChild<QTableView *>(QStringLiteral("StringGrid_Value"));
        QHeaderView *header = table->horizontalHeader();
        const QFontMetrics values(table->font());
        ChartValueModel *model = rig.window->valueModel();
        for (int c = 1; c <= 4; ++c) {
            QVERIFY(header->sectionSize(c) > values.horizontalAdvance(QStringLiteral("-99999.9")));
            const QString heading = model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            QVERIFY2(header->sectionSize(c) > QFontMetrics(header->font()).horizontalAdvance(heading), qPrintable(heading));
        }
        QCOMPARE(model->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("CCW Speed Limit[RPM]"));
        // Wider than the table: it scrolls sideways rather than cutting values short.
        QVERIFY(header->length() > table->viewport()->width());
        QVERIFY(table->horizontalScrollBar()->maximum() > 0);

        const int requests = rig.window->sampleCounter();
        const qint64 plotted = rig.window->series(1)->count();
        QCOMPARE(rig.drive->requests().size(), requests);
        QCOMPARE(rig.window->droppedSamples(), qint64(requests) - plotted);
        QCOMPARE(rig.window->droppedSamples(), 2);
        QCOMPARE(model->data(model->index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("2"));
        QCOMPARE(model->data(model->index(0, 1), Qt::DisplayRole).toString(), QStringLiteral("-9999.9"));
        // The last plotted row carries the last request's number and the table has no row
        // for a request that brought nothing.
        QCOMPARE(model->data(model->index(int(plotted) - 1, 0), Qt::DisplayRole).toString(), QString::number(requests));
        QVERIFY(model->data(model->index(int(plotted), 0), Qt::DisplayRole).toString().isEmpty());
        QCOMPARE(model->rowCount(), ChartValueModel::kInitialRows + std::max<int>(0, int(plotted) - 11));
        QVERIFY(rig.window->rateText().contains(QStringLiteral("dropped 2")));
        QVERIFY(rig.window->rateText().contains(QStringLiteral("wire limit 13.2/s at 9600 baud")));
        // Times rise with the request numbers.
        const SampleTimeline &t = rig.window->timeline();
        for (qint64 i = 1; i < t.count(); ++i)
            QVERIFY(t.time(i) >= t.time(i - 1) && t.request(i) > t.request(i - 1));
    }

    // Save CSV writes every stored sample: its request number, its time and the four values,
    // which are the values of the drive's own replies in order.
    void csvHoldsEverySampleAsTheDriveSentIt()
    {
        Rig rig;
        QTemporaryDir dir;
        rig.drive->clearTraffic();
        rig.button("Btn_Start")->click();
        for (int k = 0; k < 8; ++k) {
            rig.drive->setRegister(11, 100.5 * k - 300);
            rig.drive->setRegister(19, 12.5 * k);
            if (k == 4)
                rig.drive->dropNextReplies(1);
            QVERIFY(rig.samplesAtLeast(rig.window->series(1)->count() + 1));
        }
        rig.button("Btn_Stop")->click();
        rig.messages.files = {dir.filePath(QStringLiteral("run"))};
        rig.window->findChild<QPushButton *>(QStringLiteral("btn_SaveCsv"))->click();
        QFile file(dir.filePath(QStringLiteral("run.csv")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.first().trimmed(), QByteArray("Sample,Time [s],CMD Speed[RPM],Motor Speed[RPM],Load Rate[%],Max Load Rate[%]"));

        // The replies on the wire, decoded: CMD Speed is register 11, Load Rate register 19.
        QList<QByteArray> replies;
        for (const QByteArray &r : rig.drive->replies())
            if (r.size() == 65)
                replies << r;
        const auto valueIn = [](const QByteArray &reply, int reg) {
            const auto *b = reinterpret_cast<const uint8_t *>(reply.constData()) + 3 + 4 * (reg - 11);
            return ChartSignalText(reg - 10, DecodeRegisterValue(b[0], b[1], b[2], b[3]));
        };
        const qint64 points = rig.window->series(1)->count();
        QCOMPARE(qint64(replies.size()), points);
        QCOMPARE(lines.size(), int(points) + 2); // header, rows, and the empty tail after the last line end
        double lastTime = -1;
        for (int i = 0; i < points; ++i) {
            const QList<QByteArray> f = lines[i + 1].trimmed().split(',');
            QCOMPARE(f.size(), 6);
            QCOMPARE(f[0].toLongLong(), rig.window->timeline().request(i));
            QVERIFY(f[1].toDouble() >= lastTime);
            lastTime = f[1].toDouble();
            QCOMPARE(QString::fromLatin1(f[2]), valueIn(replies[i], 11));
            QCOMPARE(QString::fromLatin1(f[4]), valueIn(replies[i], 19));
        }
        QCOMPARE(lines[int(points)].split(',').first().toInt(), rig.window->sampleCounter());
    }

    // A level crossing freezes pre + 1 + post samples around the trigger; sampling goes on.
    // Pause keeps every sample and Resume returns to the live end.
    void captureOnALevelCrossingAndPause()
    {
        Rig rig;
        QTemporaryDir dir;
        rig.window->findChild<QDoubleSpinBox *>(QStringLiteral("spn_TriggerLevel"))->setValue(250);
        rig.window->findChild<QSpinBox *>(QStringLiteral("spn_PreSamples"))->setValue(5);
        rig.window->findChild<QSpinBox *>(QStringLiteral("spn_PostSamples"))->setValue(4);
        auto *arm = rig.window->findChild<QPushButton *>(QStringLiteral("btn_Arm"));
        arm->click();
        QCOMPARE(rig.window->capture().state(), ChartCapture::State::Armed);
        QCOMPARE(arm->text(), QStringLiteral("Disarm"));
        rig.drive->setRegister(11, 100);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(8));
        rig.drive->setRegister(11, 400); // the step
        QTRY_COMPARE_WITH_TIMEOUT(rig.window->capture().state(), ChartCapture::State::Captured, 5000);
        const ChartCapture::Window w = rig.window->capture().captured().value();
        StripSeries *s1 = rig.window->series(1);
        QVERIFY(s1->y(w.trigger) >= 250 && s1->y(w.trigger - 1) < 250);
        QCOMPARE(w.first, w.trigger - 5);
        QCOMPARE(w.last, w.trigger + 4);
        // The view holds the capture with the trigger marked, while samples keep coming.
        QVERIFY(rig.window->paused());
        QCOMPARE(rig.window->chart(1)->marker(), std::optional<qint64>(w.trigger));
        const double heldMax = rig.window->chart(1)->horizontalAxis().maximum();
        QCOMPARE(heldMax, double(w.last));
        const qint64 atCapture = s1->count();
        QVERIFY(rig.samplesAtLeast(atCapture + 5));
        QCOMPARE(rig.window->chart(1)->horizontalAxis().maximum(), heldMax);

        rig.messages.files = {dir.filePath(QStringLiteral("step.csv"))};
        QVERIFY(rig.window->saveCapture());
        QFile file(dir.filePath(QStringLiteral("step.csv")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> rows = file.readAll().trimmed().split('\n');
        QCOMPARE(rows.size(), 1 + 5 + 1 + 4);
        QCOMPARE(rows[1 + 5].split(',').at(2).trimmed(), QByteArray("400"));
        QCOMPARE(rows[5].split(',').at(2).trimmed(), QByteArray("100"));

        // Resume: back to the live end, nothing lost while paused.
        rig.window->findChild<QPushButton *>(QStringLiteral("btn_Pause"))->click();
        QVERIFY(!rig.window->paused());
        QVERIFY(rig.samplesAtLeast(s1->count() + 2));
        rig.button("Btn_Stop")->click();
        QCOMPARE(rig.window->chart(1)->horizontalAxis().maximum(), double(s1->lastX().value()));
        QCOMPARE(rig.window->sampleCounter() - rig.window->droppedSamples(), s1->count());
        QCOMPARE(qint64(rig.drive->requests().size()), qint64(rig.window->sampleCounter()));
    }

    // An alarm trigger reads the present alarm beside the samples only while it is armed;
    // the window closes cleanly while paused and armed, and the poller starts once.
    void alarmCaptureAndClosingWhileArmed()
    {
        Rig rig;
        rig.window->findChild<QComboBox *>(QStringLiteral("cmb_TriggerSource"))->setCurrentIndex(4); // Alarm
        rig.window->findChild<QSpinBox *>(QStringLiteral("spn_PreSamples"))->setValue(2);
        rig.window->findChild<QSpinBox *>(QStringLiteral("spn_PostSamples"))->setValue(2);
        rig.drive->clearTraffic();
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(5));
        const auto alarmReads = [&rig] {
            int n = 0;
            for (const QByteArray &r : rig.drive->requests())
                n += r.size() > 1 && uint8_t(r[1]) == 80;
            return n;
        };
        QCOMPARE(alarmReads(), 0); // not armed: the sampler's frames only
        rig.window->findChild<QPushButton *>(QStringLiteral("btn_Arm"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(alarmReads() >= 2, 5000);
        rig.drive->raiseAlarm(3);
        QTRY_COMPARE_WITH_TIMEOUT(rig.window->capture().state(), ChartCapture::State::Captured, 5000);
        QVERIFY(rig.window->paused());
        // Captured: no more alarm reads.
        const int reads = alarmReads();
        QVERIFY(rig.samplesAtLeast(rig.window->series(1)->count() + 4));
        QCOMPARE(alarmReads(), reads);

        // Armed again and closed while sampling and paused.
        rig.window->findChild<QPushButton *>(QStringLiteral("btn_Arm"))->click();
        QCOMPARE(rig.window->capture().state(), ChartCapture::State::Armed);
        const int started = rig.main.pollersStarted();
        rig.window->close();
        QTRY_COMPARE(rig.main.pollersStarted(), started + 1);
        QTRY_VERIFY(!rig.main.findChild<TForm_Chart *>());
        QVERIFY(rig.main.isEnabled());
        QVERIFY(rig.waitPollCycles(2));
        QCOMPARE(rig.main.pollersStarted(), started + 1);
    }

    // Kept between runs (a new main window stands for a new run): the monitoring window's
    // signals, the station number, the port's choices. Off, nothing is read or written.
    void choicesKeptBetweenRuns()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("kept.ini"));
        KeptSettings::enable(ini);
        {
            Rig rig;
            rig.select(1, 5);
            rig.select(4, 13);
            TForm_ID first;
            QCOMPARE(first.stationText(), QStringLiteral("1")); // nothing kept yet
            first.findChild<QComboBox *>(QStringLiteral("ComboBox_ID"))->setCurrentText(QStringLiteral("7"));
            first.findChild<QPushButton *>(QStringLiteral("Btn_Confirm"))->click();
            PortSettings chosen;
            chosen.ComNumber = 3;
            chosen.Baud = 38400;
            chosen.Parity = PortSettings::ParityChoice::Even;
            chosen.device = QStringLiteral("/dev/not-kept");
            SavePortChoices(chosen);
        }
        {
            Rig rig; // the next run
            QCOMPARE(rig.window->selection(1), 5);
            QCOMPARE(rig.window->selection(2), 2);
            QCOMPARE(rig.window->selection(4), 13);
            QCOMPARE(rig.window->findChild<QLabel *>(QStringLiteral("Label_Series4"))->text(), QStringLiteral("Inertia Ratio"));
            QCOMPARE(TForm_ID().stationText(), QStringLiteral("7"));
            PortSettings loaded;
            LoadPortChoices(loaded);
            QCOMPARE(loaded.ComNumber, 3);
            QCOMPARE(loaded.Baud, 38400);
            QCOMPARE(loaded.Parity, PortSettings::ParityChoice::Even);
            QVERIFY(loaded.device.isEmpty());
        }
        KeptSettings::disable();
        const QByteArray stored = [&ini] {
            QFile f(ini);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        Rig off; // off again: the start states, and the file untouched
        QCOMPARE(off.window->selection(1), 1);
        off.select(1, 9);
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), stored);
    }

    void savingAChartAndClosing()
    {
        Rig rig;
        QTemporaryDir dir;
        rig.messages.files = {dir.filePath(QStringLiteral("top"))};
        rig.window->findChild<QToolButton *>(QStringLiteral("SBtn_Save_Chart1"))->click();
        QImage saved(dir.filePath(QStringLiteral("top.bmp")));
        QCOMPARE(saved.size(), QSize(554, 232));

        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(2));
        const int started = rig.main.pollersStarted();
        rig.window->close();
        QTRY_COMPARE(rig.main.pollersStarted(), started + 1);
        QVERIFY(rig.main.isEnabled());
        QTRY_VERIFY(!rig.main.findChild<TForm_Chart *>());
    }
};

QTEST_MAIN(TestMonitorChart)
#include "tst_monitor_chart.moc"
