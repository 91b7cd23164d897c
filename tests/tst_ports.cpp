// Which device an opening picks, and what it says when it can not open one.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "ScriptedPort.h"
#include "SimProcess.h"
#include "link/ComPort.h"
#include "link/MessageService.h"
#include "link/QtSerialDrivePort.h"
#include "link/Texts.h"
#include "shell/MainWindow.h"
#include "shell/SelectPortDialog.h"

#include <memory>

using namespace velmora;

class TestPorts : public QObject {
    Q_OBJECT
private slots:
    void portZeroAsksAndCancelFails()
    {
        ComPort port;
        QList<PortEntry> offered;
        port.setChooser([&](const QList<PortEntry> &list) -> std::optional<PortEntry> {
            offered = list;
            return std::nullopt;
        });
        port.setSimulatedFactory([] { return std::make_unique<ScriptedPort>(); });
        // USB adapters (by their identifiers or their names) first, in natural order, then
        // other ports, then the simulated drive, then the on-board ports nobody means.
        const auto entry = [](const char *name, bool usb = false) {
            PortEntry e{QLatin1String(name), QStringLiteral("/dev/") + QLatin1String(name), {}, false};
            e.usb = usb;
            return e;
        };
        QList<PortEntry> devices{entry("ttyS1"), entry("ttyUSB10", true), entry("ttyS0"), entry("ttyACM0"),
                                 entry("ttyAMA0"), entry("ttyUSB2", true), entry("ttyXRUSB0", true), entry("ttySC0")};
        OrderPorts(devices);
        port.setDeviceLister([devices] { return devices; });
        QVERIFY(!port.open());
        QVERIFY(!port.isOpen());
        QVERIFY(!port.errorString().isEmpty());
        QStringList names;
        for (const PortEntry &p : offered)
            names << p.name;
        QCOMPARE(names, (QStringList{"ttyACM0", "ttyUSB2", "ttyUSB10", "ttyXRUSB0", "ttyAMA0", "ttySC0",
                                     "Simulated VD-840", "ttyS0", "ttyS1"}));
        QVERIFY(offered.at(6).simulated);
        QCOMPARE(port.pickablePorts().size(), offered.size());

        // Choosing the simulated drive opens it.
        port.setChooser([](const QList<PortEntry> &list) { return std::optional<PortEntry>(list.at(6)); });
        QVERIFY(port.open());
        QCOMPARE(port.portName(), QString::fromLatin1(texts::SimulatedDrive));
        QVERIFY(!port.open()); // open already
        port.close();
        QVERIFY(!port.isOpen());
    }

    void numbersAndPaths()
    {
        ComPort port;
        PortSettings s;
        s.ComNumber = 8;
        port.applySettings(s);
        if (SerialDevices().size() < 8) {
            QVERIFY(!port.open());
            QVERIFY(port.errorString().contains(QStringLiteral("Port 8")));
        }
        s.device = QStringLiteral("/dev/velmora-no-such-device");
        port.applySettings(s);
        QVERIFY(!port.open());
        QVERIFY(port.errorString().contains(QStringLiteral("does not exist")));
        s.device.clear();
        s.simulate = true;
        port.applySettings(s);
        QVERIFY(!port.open()); // no simulated drive installed here
    }

    void busyDeviceSaysSo()
    {
        SimProcess sim;
        QVERIFY(!sim.device().isEmpty());
        QtSerialDrivePort first(sim.device());
        QVERIFY2(first.open(), qPrintable(first.errorString()));
        QtSerialDrivePort second(sim.device());
        QVERIFY(!second.open());
        QVERIFY2(second.errorString().contains(QStringLiteral("busy")), qPrintable(second.errorString()));
        first.close();
        QVERIFY2(second.open(), qPrintable(second.errorString()));
    }

    // The far end of the line goes away while the status display polls through the real
    // serial port: one message, naming the port once, with the system's reason beside it.
    void deviceGoneIsOneMessage()
    {
        auto sim = std::make_unique<SimProcess>();
        QVERIFY(!sim->device().isEmpty());
        RecordingMessageService messages;
        TForm_Main main(messages);
        main.session().responseWaitMs = 100;
        PortSettings s = main.port().settings();
        s.device = sim->device();
        main.port().applySettings(s);
        QVERIFY(main.onLineSequence(QStringLiteral("1")));
        QTRY_VERIFY_WITH_TIMEOUT(main.poller() && main.poller()->cyclesDone() >= 2, 5000);
        const QString name = main.port().portName();
        sim.reset(); // the program on the other end of the pseudo-terminal ends
        QTRY_VERIFY_WITH_TIMEOUT(!main.port().isOpen(), 5000);
        QTest::qWait(300); // any second report of the same loss
        const QStringList gone = messages.shown.filter(QStringLiteral("has gone away"));
        QCOMPARE(gone, QStringList{QStringLiteral("The serial port %1 has gone away.").arg(name)});
        QCOMPARE(messages.details.size(), 1);
        QVERIFY2(!messages.details[0].contains(s.device), qPrintable(messages.details[0]));
        QVERIFY(main.findChild<QPushButton *>(QStringLiteral("BtnON_Line"))->isEnabled());
    }

    void selectPortWindow()
    {
        const QList<PortEntry> ports{{QStringLiteral("ttyUSB0"), QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R"), false},
                                     {QStringLiteral("Simulated VD-840"), QString(), QString(), true}};
        SelectPortDialog dialog(ports);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select Port"));
        QStringList labels;
        for (QLabel *l : dialog.findChildren<QLabel *>())
            labels << l->text();
        QVERIFY(labels.contains(QStringLiteral("The configured serial port is not valid.")));
        QVERIFY(labels.contains(QStringLiteral("Please choose another port.")));
        auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("ComboPorts"));
        QVERIFY(combo);
        QCOMPARE(combo->count(), 2);
        QCOMPARE(dialog.chosen()->name, QStringLiteral("ttyUSB0")); // the first is preselected
        combo->setCurrentIndex(1);
        QVERIFY(dialog.chosen()->simulated);

        QTimer::singleShot(0, [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *d = qobject_cast<SelectPortDialog *>(w); d && d->isVisible())
                    d->reject();
        });
        QVERIFY(!SelectPortDialog::choose(ports, {}).has_value());
    }
};

QTEST_MAIN(TestPorts)
#include "tst_ports.moc"
