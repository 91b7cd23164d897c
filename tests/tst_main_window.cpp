// The main window as it starts, its menus, and the protocol by which child windows take
// the link from the status poller and give it back.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "link/MessageService.h"
#include "shell/MainWindow.h"
#include "widgets/ALed.h"

using namespace velmora;

namespace {

QAction *action(TForm_Main &w, const char *name) { return w.findChild<QAction *>(QLatin1String(name)); }
QPushButton *button(TForm_Main &w, const char *name) { return w.findChild<QPushButton *>(QLatin1String(name)); }

// Runs the deletions that closing a window has queued, and nothing else.
void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

struct CountingHost : PollerHost {
    int stops = 0, starts = 0, running = 0;
    void stopPoller() override
    {
        ++stops;
        running = 0;
    }
    void startPoller() override
    {
        ++starts;
        ++running;
    }
};

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startsOffLineWithTheDriveButtonsDisabled()
    {
        RecordingMessageService messages;
        TForm_Main w(messages);
        QCOMPARE(w.windowTitle(), QStringLiteral("Velmora For VD-840 (Ver1.4)"));
        QCOMPARE(w.centralWidget()->size(), QSize(792, 545));
        QCOMPARE(int(w.session().req.stationNumber), 50);
        QVERIFY(!w.port().isOpen());

        for (const char *name : {"BtnON_Line", "BtnOFF_LINE", "BtnExit"}) {
            QVERIFY2(button(w, name), name);
            QVERIFY2(button(w, name)->isEnabled(), name);
        }
        for (const char *name : {"btnP1", "BtnP2", "BtnP3", "BtnP4", "BtnP5", "btnP6", "btnP7", "btnP8", "btnP9",
                                 "BtnJOG", "BtnAuto_Jog", "BtnAutoTune", "BtnManuTune"}) {
            QVERIFY2(button(w, name), name);
            QVERIFY2(!button(w, name)->isEnabled(), name);
        }
        QCOMPARE(button(w, "BtnP5")->text(), QStringLiteral("P5 : Position"));
        QCOMPARE(w.findChild<QGroupBox *>(QStringLiteral("TestModeGroupBox"))->title(), QStringLiteral("Funtion mode"));

        // Every status value box in item order, St-17's place empty.
        for (int i = 0; i < 18; ++i) {
            QLabel *box = w.statusBoxes()[size_t(i)];
            if (i == 16) {
                QVERIFY(box == nullptr);
                continue;
            }
            QVERIFY(box);
            QCOMPARE(box->objectName(), QStringLiteral("STextSt_%1").arg(i + 1, 2, 10, QLatin1Char('0')));
        }
    }

    void lampsAreInPinOrderWithoutBlinkOrBorder()
    {
        RecordingMessageService messages;
        TForm_Main w(messages);
        QCOMPARE(w.inputLamps().front()->objectName(), QStringLiteral("LED_SVONEN"));
        QCOMPARE(w.inputLamps().back()->objectName(), QStringLiteral("LED_ALMRST"));
        QCOMPARE(w.outputLamps().front()->objectName(), QStringLiteral("LED_BRAKE"));
        QCOMPARE(w.outputLamps().back()->objectName(), QStringLiteral("LED_ALARM3"));
        const auto lamps = w.findChildren<ThhALed *>();
        QCOMPARE(lamps.size(), 25);
        for (ThhALed *lamp : lamps) {
            QVERIFY(!lamp->blink());
            QVERIFY(!lamp->bordered());
        }
        auto *alarm = w.findChild<ThhALed *>(QStringLiteral("LED_ALARM_1"));
        QCOMPARE(alarm->trueColor(), QColor(Qt::red));
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("Lbl_Output_06"))->text(), QStringLiteral("ALARM"));
    }

    void menusAndTheirStates()
    {
        RecordingMessageService messages;
        TForm_Main w(messages);
        QVERIFY(!w.findChild<QMenu *>(QStringLiteral("File1"))->menuAction()->isEnabled());
        QVERIFY(!w.findChild<QMenu *>(QStringLiteral("TOOLS1"))->menuAction()->isEnabled());
        QVERIFY(w.findChild<QMenu *>(QStringLiteral("CONFIG1"))->menuAction()->isEnabled());
        QCOMPARE(action(w, "Download1")->text(), QStringLiteral("Write(PC->SERVO)"));
        QCOMPARE(action(w, "UpLoad1")->text(), QStringLiteral("Read(PC<-SERVO)"));
        QCOMPARE(action(w, "SET1")->text(), QStringLiteral("Commport"));
        QVERIFY(action(w, "N1")->isSeparator() && action(w, "N2")->isSeparator() && action(w, "N3")->isSeparator());
        const QStringList tools{QStringLiteral("Input Control"), QStringLiteral("Monitor"), QStringLiteral("Report"),
                                QString(), QStringLiteral("Write(PC->SERVO)"), QStringLiteral("Read(PC<-SERVO)")};
        QStringList seen;
        for (QAction *a : w.findChild<QMenu *>(QStringLiteral("TOOLS1"))->actions())
            seen << a->text();
        QCOMPARE(seen, tools);
    }

    void aboutAndWiringLeaveTheMainWindowUsable()
    {
        RecordingMessageService messages;
        TForm_Main w(messages);
        w.show();
        action(w, "About1")->trigger();
        action(w, "ViewConnection1")->trigger();
        QVERIFY(w.isEnabled());
        QCOMPARE(w.pollersStarted(), 0);
    }

    void childWindowsTakeAndGiveBackThePoller()
    {
        QWidget main;
        CountingHost host;
        ChildWindowProtocol protocol(&main, host);
        QSignalSpy closed(&protocol, &ChildWindowProtocol::childClosed);
        for (int round = 1; round <= 10; ++round) {
            QWidget *child = protocol.open([&main] { return new QWidget(&main, Qt::Window); });
            QVERIFY(child);
            QVERIFY(!main.isEnabled());
            QVERIFY(child->isEnabled());
            QCOMPARE(host.running, 0);
            // A second opening while one is open does not stop anything again.
            QCOMPARE(protocol.open([] { return new QWidget; }), child);
            child->close();
            flushDeletes();
            QVERIFY(!protocol.isOpen());
            QVERIFY(main.isEnabled());
            QCOMPARE(host.running, 0); // not before the pause
            QVERIFY(closed.wait(1000));
            QCOMPARE(host.running, 1);
            QCOMPARE(host.starts, round);
        }
        QCOMPARE(host.stops, 10);
    }

    void reopeningWithinThePauseStartsOnePoller()
    {
        QWidget main;
        CountingHost host;
        ChildWindowProtocol protocol(&main, host);
        QSignalSpy closed(&protocol, &ChildWindowProtocol::childClosed);
        protocol.open([&main] { return new QWidget(&main, Qt::Window); })->close();
        flushDeletes();
        // Opened again before the pause has ended: no poller must start under it.
        QWidget *second = protocol.open([&main] { return new QWidget(&main, Qt::Window); });
        QVERIFY(closed.wait(1000));
        QCOMPARE(host.starts, 0);
        second->close();
        flushDeletes();
        QVERIFY(closed.wait(1000));
        QCOMPARE(host.starts, 1);
        QCOMPARE(host.running, 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
