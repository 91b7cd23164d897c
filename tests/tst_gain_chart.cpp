// The gain tuning chart against the simulated drive: the reading, Set and Up/Down with
// their effect on sampling, the derived displays, and closing back to its owner.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "MainRig.h"
#include "ReplyBuilder.h"
#include "tuning/AutoTuningWindow.h"
#include "tuning/GainChartWindow.h"
#include "tuning/StripChart.h"

using namespace velmora;

namespace {

struct Rig : MainRig {
    QWidget owner;
    int ownerReads = 0;
    TForm_Chart1 *window = nullptr;
    Rig()
    {
        usePort(1);
        if (!main.onLineSequence(QStringLiteral("1")))
            return;
        main.stopPoller();
        window = new TForm_Chart1(main.session(), main.chartMemory(), &owner, [this] { ++ownerReads; });
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    }
    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(QLatin1String(name)); }
    int writes() const
    {
        int n = 0;
        for (const QByteArray &r : drive->requests())
            n += uint8_t(r[1]) == 6;
        return n;
    }
    bool sampling()
    {
        const qint64 before = window->series(1)->count();
        QElapsedTimer clock;
        clock.start();
        while (window->series(1)->count() < before + 2 && clock.elapsed() < 5000)
            QTest::qWait(5);
        return window->series(1)->count() >= before + 2;
    }
};

} // namespace

class TestGainChart : public QObject {
    Q_OBJECT
private slots:
    void readingAndDerivedDisplays()
    {
        MainRig probe; // the drive's own values through a plain rig
        Rig rig;
        QVERIFY(rig.window);
        QVERIFY(!rig.owner.isEnabled());
        rig.drive->setRegister(504, 40);
        rig.drive->setRegister(304, 55.5);
        rig.drive->clearTraffic();
        rig.window->readAll();
        QCOMPARE(rig.drive->requests(),
                 (QList<QByteArray>{readFrame(304, 2), readFrame(309, 2), readFrame(504, 1), readFrame(217, 1)}));
        QCOMPARE(rig.window->display(5)->text(), QStringLiteral("40"));
        QCOMPARE(rig.window->derived(5)->text(), QStringLiteral("251.2"));
        QCOMPARE(rig.window->derived(1)->text(), QStringLiteral("348.54"));
    }

    void aRefusedSetLeavesSamplingStopped()
    {
        Rig rig;
        rig.button("Btn_Start")->click();
        QVERIFY(rig.sampling());
        rig.drive->clearTraffic();
        rig.window->edit(1)->setText(QStringLiteral("1200"));
        rig.button("btnTuning_01")->click();
        QCOMPARE(rig.messages.shown, QStringList{"Wrong parameter"});
        QCOMPARE(rig.writes(), 0);
        QVERIFY(!rig.window->running());
        QVERIFY(rig.button("Btn_Start")->isEnabled() && rig.button("btnClose")->isEnabled());
        const qint64 count = rig.window->series(1)->count();
        QTest::qWait(50);
        QCOMPARE(rig.window->series(1)->count(), count);
    }

    void aSetWhileIdleStartsSampling()
    {
        Rig rig;
        QVERIFY(!rig.window->running());
        rig.window->edit(5)->setText(QStringLiteral("40"));
        rig.button("btnTuning_05")->click();
        QCOMPARE(rig.drive->registerValue(504), 40.0);
        QCOMPARE(rig.window->display(5)->text(), QStringLiteral("40"));
        QCOMPARE(rig.window->derived(5)->text(), QStringLiteral("251.2"));
        QVERIFY(rig.window->running());
        QVERIFY(!rig.button("Btn_Start")->isEnabled());
        QVERIFY(rig.sampling());

        // A second change stops this sampler before writing: never two at once.
        rig.window->edit(3)->setText(QStringLiteral("250"));
        rig.button("btnTuning_03")->click();
        QCOMPARE(rig.drive->registerValue(309), 250.0);
        QVERIFY(rig.sampling());
        rig.button("Btn_Stop")->click();
        QVERIFY(!rig.window->running());
    }

    void systemResponseSteps()
    {
        Rig rig;
        rig.drive->setRegister(217, 19);
        rig.window->readAll();
        rig.drive->clearTraffic();
        rig.button("btnFBspeedH")->click();
        QCOMPARE(rig.window->display(6)->text(), QStringLiteral("19"));
        QCOMPARE(rig.messages.shown, QStringList{"Wrong parameter"});
        QCOMPARE(rig.writes(), 0);
        QVERIFY(!rig.window->running());

        rig.button("btnFBspeedL")->click();
        QCOMPARE(rig.drive->registerValue(217), 18.0);
        QCOMPARE(rig.window->display(6)->text(), QStringLiteral("18"));
        QVERIFY(rig.window->running());
    }

    void closingReadsTheOwnerAgain()
    {
        Rig rig;
        QPointer<TForm_Chart1> window(rig.window);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.sampling());
        rig.button("Btn_Stop")->click();
        rig.window->close();
        QTRY_VERIFY(window.isNull());
        QCOMPARE(rig.ownerReads, 1);
        QVERIFY(rig.owner.isEnabled());
    }

    void openedFromTheAutoTuningWindow()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        rig.button("BtnAutoTune")->click();
        auto *tuning = qobject_cast<TForm_AutoTuning *>(rig.main.childWindows().current());
        QVERIFY(tuning);
        tuning->findChild<QPushButton *>(QStringLiteral("btn_Chart"))->click();
        auto *chart = tuning->findChild<TForm_Chart1 *>();
        QVERIFY(chart);
        QVERIFY(!tuning->isEnabled());
        QVERIFY(chart->isEnabled());
        rig.drive->clearTraffic();
        chart->close();
        QVERIFY(tuning->isEnabled());
        QCOMPARE(rig.drive->requests().value(0), readFrame(1003, 6));
        QTRY_VERIFY(!tuning->findChild<TForm_Chart1 *>());
        QVERIFY(!rig.main.isEnabled()); // the auto tuning window is still open
    }

    // The signal stays in view after Clear and after a lead signal change, whatever the
    // previous value kept from earlier samples; the cursor reads both series at a point.
    void followingAndTheCursor()
    {
        Rig rig;
        StripChart *chart = rig.window->chart();
        const auto inView = [chart](double y) {
            return chart->verticalAxis().minimum() <= y && y <= chart->verticalAxis().maximum();
        };
        bool unit = false;
        for (QLabel *l : rig.window->findChildren<QLabel *>())
            unit = unit || l->text() == QStringLiteral("VD-520 Value [rad/s]");
        QVERIFY(unit);

        rig.drive->setRegister(11, 500);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.sampling());
        QVERIFY(inView(500));
        rig.button("Btn_Clear")->click();
        rig.drive->setRegister(11, -500);
        rig.button("Btn_Start")->click();
        QVERIFY(rig.sampling());
        QVERIFY(inView(-500));
        // A new lead signal while sampling (the lists stay enabled here).
        rig.drive->setRegister(13, 5000);
        rig.window->findChild<QComboBox *>(QStringLiteral("ComboBox_Series1"))->setCurrentIndex(2);
        QVERIFY(rig.sampling());
        rig.button("Btn_Stop")->click();
        QCOMPARE(rig.window->series(1)->lastY().value(), 5000.0);
        QVERIFY(inView(5000));

        const qint64 last = rig.window->series(1)->count() - 1;
        chart->setCursorIndex(last);
        const QStringList readout = chart->cursorReadout();
        QCOMPARE(readout.size(), 3);
        QVERIFY(readout[0].startsWith(QStringLiteral("#%1").arg(rig.window->timeline().request(last))));
        QCOMPARE(readout[1], QStringLiteral("CCW Speed Limit[RPM]: 5000"));
        QVERIFY(readout[2].startsWith(QStringLiteral("Motor Speed[RPM]: ")));

        // Looking back while sampling holds the view; Live returns to the newest samples.
        rig.button("Btn_Start")->click();
        QTRY_VERIFY_WITH_TIMEOUT(rig.window->series(1)->count() > 300, 10000);
        QVERIFY(chart->panBy(-100));
        auto *live = rig.window->findChild<QPushButton *>(QStringLiteral("btn_Live"));
        QVERIFY(live->isEnabled());
        const double held = chart->horizontalAxis().maximum();
        QVERIFY(rig.sampling());
        QCOMPARE(chart->horizontalAxis().maximum(), held);
        live->click();
        QVERIFY(!live->isEnabled());
        QVERIFY(rig.sampling());
        rig.button("Btn_Stop")->click();
        QCOMPARE(chart->horizontalAxis().maximum(), double(rig.window->series(1)->lastX().value()));
        QVERIFY(inView(5000));
    }
};

QTEST_MAIN(TestGainChart)
#include "tst_gain_chart.moc"
