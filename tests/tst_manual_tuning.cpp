// The manual tuning window against the simulated drive: the reading, the raise and lower
// family with its range test, undo and read-back.
#include <QLabel>
#include <QTest>

#include "MainRig.h"
#include "ReplyBuilder.h"
#include "tuning/ManualTuningWindow.h"

using namespace velmora;

namespace {

// Row indexes (0-based) of the rows the cases use.
constexpr int kResponse = 0, kInertia = 1, kPiIp = 2, kGain = 3, kRipple = 5;

struct Rig : MainRig {
    TForm_ManualTuning *window = nullptr;
    Rig()
    {
        usePort(1);
        if (!main.onLineSequence(QStringLiteral("1")))
            return;
        main.BtnManuTuneClick();
        window = main.findChild<TForm_ManualTuning *>();
    }
    QString shown(int row) const { return window->display(row)->text(); }
    void press(const char *name) { window->findChild<QPushButton *>(QLatin1String(name))->click(); }
    // Frames other than reads (the writes).
    int writes() const
    {
        int n = 0;
        for (const QByteArray &r : drive->requests())
            n += uint8_t(r[1]) == 6;
        return n;
    }
};

} // namespace

class TestManualTuning : public QObject {
    Q_OBJECT
private slots:
    void readingShowsTheTenValues()
    {
        Rig rig;
        rig.drive->setRegister(217, 7);
        rig.drive->setRegister(304, 123.4);
        QVERIFY(rig.window);
        QVERIFY(!rig.main.isEnabled());
        rig.drive->clearTraffic();
        rig.press("btnReflash");
        QCOMPARE(rig.drive->requests(),
                 (QList<QByteArray>{readFrame(217, 2), readFrame(227, 1), readFrame(301, 10), readFrame(503, 2)}));
        QCOMPARE(rig.shown(kResponse), QStringLiteral("7"));
        QCOMPARE(rig.shown(kGain), QStringLiteral("123.4"));

        // A request without a reply leaves its rows empty rather than showing another
        // request's values.
        rig.drive->dropNextReplies(1);
        rig.press("btnReflash");
        QVERIFY(rig.shown(kResponse).isEmpty() && rig.shown(kInertia).isEmpty());
        QCOMPARE(rig.shown(kGain), QStringLiteral("123.4"));
    }

    void stepsOutsideTheRangeAreUndone_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<double>("start");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("before");
        QTest::newRow("ON at 1") << kRipple << 1.0 << "btnTuning_H03" << "1";
        QTest::newRow("raise 49.5") << kInertia << 49.5 << "btnTuning_H02" << "49.5";
        QTest::newRow("lower 1") << kResponse << 1.0 << "btnTuning_L01" << "1";
    }

    void stepsOutsideTheRangeAreUndone()
    {
        QFETCH(int, row);
        QFETCH(double, start);
        QFETCH(QString, button);
        QFETCH(QString, before);
        Rig rig;
        rig.drive->setRegister(TForm_ManualTuning::rowRegister(row), start);
        rig.press("btnReflash");
        QCOMPARE(rig.shown(row), before);
        rig.drive->clearTraffic();
        rig.press(qPrintable(button));
        QCOMPARE(rig.shown(row), before);
        QCOMPARE(rig.messages.shown, QStringList{"Wrong parameter"});
        QVERIFY(rig.drive->requests().isEmpty());
    }

    void aGoodStepIsWrittenAndReadBack()
    {
        Rig rig;
        rig.drive->setRegister(301, 50);
        rig.drive->setRegister(304, 40);
        rig.press("btnReflash");
        rig.drive->clearTraffic();
        rig.press("btnTuning_H04");
        QCOMPARE(rig.drive->registerValue(301), 51.0);
        QCOMPARE(rig.shown(kPiIp), QStringLiteral("51"));
        QCOMPARE(rig.drive->requests().value(1), readFrame(301, 1));
        // The rows beyond the first three step the same way.
        rig.press("btnTuning_L07");
        QCOMPARE(rig.drive->registerValue(304), 39.0);
        QCOMPARE(rig.shown(kGain), QStringLiteral("39"));
        QCOMPARE(rig.writes(), 2);

        // An empty display has nothing to step from.
        rig.drive->dropNextReplies(3);
        rig.press("btnReflash");
        rig.drive->clearTraffic();
        rig.messages.shown.clear();
        rig.press("btnTuning_H01");
        QCOMPARE(rig.messages.shown, QStringList{"Wrong parameter"});
        QCOMPARE(rig.writes(), 0);

        const int started = rig.main.pollersStarted();
        rig.press("btnClose");
        QTRY_COMPARE(rig.main.pollersStarted(), started + 1);
        QVERIFY(rig.main.isEnabled());
    }
};

QTEST_MAIN(TestManualTuning)
#include "tst_manual_tuning.moc"
