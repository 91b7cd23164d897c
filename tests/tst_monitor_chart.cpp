// The monitoring window against the simulated drive: sampling on the wire, the signal
// texts, lost replies, link failure, the axis buttons, the table and closing.
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "MainRig.h"
#include "ReplyBuilder.h"
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
        rig.drive->setRegister(11, 500);
        rig.button("Btn_Scroll_ONOFF")->click(); // off
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(2));
        rig.button("Btn_Stop")->click();
        // Off: the axis stays, yet the previous value follows the signal.
        QCOMPARE(rig.window->chart(1)->verticalAxis().maximum(), 100.0);
        QCOMPARE(rig.main.chartMemory().previous1, 500.0);

        rig.button("Btn_Scroll_ONOFF")->click(); // on again
        rig.drive->setRegister(11, 700);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.samplesAtLeast(rig.window->series(1)->count() + 2));
        rig.button("Btn_Stop")->click();
        // On: one scroll by the change from the previous value, not from 0.
        QCOMPARE(rig.window->chart(1)->verticalAxis().maximum(), 300.0);
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
