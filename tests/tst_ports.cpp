// Which device an opening picks, and what it says when it can not open one.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "ScriptedPort.h"
#include "SimProcess.h"
#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/ComPort.h"
#include "link/DriveSession.h"
#include "link/SerialLine.h"
#include "link/MessageService.h"
#include "link/QtSerialDrivePort.h"
#include "link/Texts.h"
#include "shell/LinkPanel.h"
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

    // A two-wire RS-485 adapter without echo suppression, through the real serial port and
    // the windows: every request comes back before the drive's reply. The copies are
    // dropped, never counted as bad replies, and the user is told once, across going off
    // and on line again. On a pseudo-terminal the driver offers neither low-latency nor
    // RS-485 mode: the port opens all the same and the link panel says so.
    void echoingLineThroughTheWindows()
    {
        SimProcess sim({QStringLiteral("--echo")});
        QVERIFY(!sim.device().isEmpty());
        RecordingMessageService messages;
        TForm_Main main(messages);
        PortSettings s = main.port().settings();
        s.device = sim.device();
        s.rs485 = true;
        main.port().applySettings(s);
        DriveSession &session = main.session();
        for (int round = 0; round < 2; ++round) {
            QVERIFY(main.onLineSequence(QStringLiteral("1")));
            QTRY_VERIFY_WITH_TIMEOUT(main.poller() && main.poller()->cyclesDone() >= 3, 5000);
            QVERIFY(session.link.lineEchoes);
            main.BtnOff_LineClick();
        }
        QCOMPARE(quint64(session.counters.bad), quint64(0));
        QCOMPARE(quint64(session.counters.timeouts), quint64(0));
        // Every exchange not cut short by going off line was answered, behind its echo.
        QCOMPARE(quint64(session.counters.refused), quint64(0));
        QVERIFY(session.counters.requests - session.counters.good <= 2);
        QVERIFY(session.counters.good >= 6);
        QVERIFY(session.counters.echoesDiscarded >= session.counters.good);
        QCOMPARE(messages.shown, QStringList{QString::fromLatin1(texts::LineEchoes)});

        QVERIFY(main.onLineSequence(QStringLiteral("1")));
        QTRY_VERIFY_WITH_TIMEOUT(main.poller() && main.poller()->cyclesDone() >= 1, 5000);
        TForm_Link *panel = main.openLinkPanel();
        panel->refresh();
        const auto label = [panel](const char *name) { return panel->findChild<QLabel *>(QLatin1String(name))->text(); };
        QVERIFY2(label("lbl_Echoes").contains(QStringLiteral("echoes every request")), qPrintable(label("lbl_Echoes")));
        QCOMPARE(label("lbl_LowLatency"), QStringLiteral("not offered by the driver"));
        QCOMPARE(label("lbl_Rs485"), QStringLiteral("not offered by the driver"));
        QVERIFY(label("lbl_LatencyTimer").startsWith(QStringLiteral("none")));
        main.BtnOff_LineClick();
        panel->refresh();
        QCOMPARE(label("lbl_LowLatency"), QStringLiteral("no serial device open"));
    }

    // A USB adapter's latency timer, read where the kernel publishes it, and the user told
    // once per adapter (not at every going on line) when it slows every exchange.
    void slowLatencyTimerIsToldOnce()
    {
        QTemporaryDir sys;
        const QString dir = sys.path() + QStringLiteral("/bus/usb-serial/devices/ttyUSB7");
        QVERIFY(QDir().mkpath(dir));
        const auto setTimer = [&dir](const char *text) {
            QFile f(dir + QStringLiteral("/latency_timer"));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(text);
        };
        setTimer("16\n");
        QCOMPARE(UsbLatencyTimerMs(QStringLiteral("ttyUSB7"), sys.path()), 16);
        QCOMPARE(UsbLatencyTimerMs(QStringLiteral("ttyUSB8"), sys.path()), -1);
        QCOMPARE(UsbLatencyTimerMs(QStringLiteral("../ttyUSB7"), sys.path()), -1);
        LineReport report{QStringLiteral("ttyUSB7"), LineFeature::On, LineFeature::NotAsked, 16};
        const QString advice = LatencyTimerAdvice(report);
        QVERIFY(advice.contains(QStringLiteral("16 ms")));
        QVERIFY(advice.contains(QStringLiteral("\necho 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB7/latency_timer\n")));
        setTimer("1");
        report.latencyTimerMs = UsbLatencyTimerMs(QStringLiteral("ttyUSB7"), sys.path());
        QCOMPARE(report.latencyTimerMs, 1);
        QVERIFY(LatencyTimerAdvice(report).isEmpty());

        // The windows, with an adapter that reports a 16 ms timer in front of the drive.
        class SlowAdapter : public SimulatedPort {
        public:
            using SimulatedPort::SimulatedPort;
            LineReport lineReport() const override
            {
                return {QStringLiteral("ttyUSB7"), LineFeature::On, LineFeature::NotAsked, isOpen() ? 16 : -1};
            }
        };
        RecordingMessageService messages;
        TForm_Main main(messages);
        auto drive = std::make_shared<SimDrive>(1);
        main.port().setDeviceFactory([drive](const PortEntry &) { return std::make_unique<SlowAdapter>(drive); });
        PortSettings settings = main.port().settings();
        settings.device = QStringLiteral("/dev/ttyUSB7");
        main.port().applySettings(settings);
        for (int round = 0; round < 2; ++round) {
            QVERIFY(main.onLineSequence(QStringLiteral("1")));
            QTRY_VERIFY_WITH_TIMEOUT(main.poller() && main.poller()->cyclesDone() >= 2, 5000);
            main.BtnOff_LineClick();
        }
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(messages.shown[0].contains(QStringLiteral("echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB7/latency_timer")));
    }

    // The serial numbers of USB adapters are how the chosen one is found again.
    void adapterRememberedBySerialNumber()
    {
        PortEntry a{QStringLiteral("ttyUSB0"), QStringLiteral("/dev/ttyUSB0"), QStringLiteral("FT232R USB UART"), false};
        a.usb = true;
        a.vendorId = 0x0403;
        a.productId = 0x6001;
        a.serialNumber = QStringLiteral("A10K3XYZ");
        PortEntry b = a;
        b.name = QStringLiteral("ttyUSB1");
        b.path = QStringLiteral("/dev/ttyUSB1");
        b.serialNumber = QStringLiteral("B20Q");
        QCOMPARE(a.displayText(), QStringLiteral("ttyUSB0 - FT232R USB UART [0403:6001, serial A10K3XYZ]"));
        const QList<PortEntry> ports = WithSimulatedDrive({a, b});
        SelectPortDialog dialog(ports, QStringLiteral("B20Q"));
        QCOMPARE(dialog.chosen()->name, QStringLiteral("ttyUSB1"));
        SelectPortDialog unknown(ports, QStringLiteral("GONE"));
        QCOMPARE(unknown.chosen()->name, QStringLiteral("ttyUSB0"));

        // Opening the adapter the user picked keeps its serial number in the settings.
        ComPort port;
        port.setDeviceLister([a, b] { return QList<PortEntry>{b, a}; });
        auto drive = std::make_shared<SimDrive>(1);
        port.setDeviceFactory([drive](const PortEntry &) { return std::make_unique<SimulatedPort>(drive); });
        port.setChooser([](const QList<PortEntry> &list) { return std::optional<PortEntry>(list.at(1)); });
        QVERIFY(port.open());
        QCOMPARE(port.portName(), QStringLiteral("ttyUSB0"));
        QCOMPARE(port.settings().adapterSerial, QStringLiteral("A10K3XYZ"));
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
