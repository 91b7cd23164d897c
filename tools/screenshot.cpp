// Takes the README's screenshot: the main window on line against the simulated drive.
// Usage: velmora-screenshot OUT.png [GROUP]   (under a display, e.g. xvfb-run)
// With GROUP (1 to 9) the picture is of that parameter page instead; with "download FILE"
// it is of the write-to-drive window previewing FILE; with input, jog, autojog, manual or
// monitor of that window; "capture" is the monitoring window holding a captured step
// response with the cursor on it; "link" the link panel; "compare" the drive beside a
// backup; "finddrive" the drive finder after a scan; "selectport" the port chooser with its
// list open: this machine's ports and, as a build machine has no USB adapter, two example
// adapters, in the order the chooser gives them.
#include <QApplication>
#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QPainter>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QCursor>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <memory>

#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/MessageService.h"
#include "shell/CommDialogs.h"
#include "params/CompareWindow.h"
#include "params/DownloadWindow.h"
#include "shell/FindDriveDialog.h"
#include "shell/LinkPanel.h"
#include "shell/MainWindow.h"
#include "shell/SelectPortDialog.h"
#include "tuning/MonitorWindow.h"
#include "tuning/StripChart.h"

#include <cmath>

using namespace velmora;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: velmora-screenshot OUT.png\n");
        return 2;
    }
    RecordingMessageService messages;
    TForm_Main main(messages);
    auto drive = std::make_shared<SimDrive>(1);
    main.port().setSimulatedFactory([drive] { return std::make_unique<SimulatedPort>(drive); });
    PortSettings s = main.port().settings();
    s.simulate = true;
    main.port().applySettings(s);
    main.show();
    if (!main.onLineSequence(QStringLiteral("1")))
        return 1;
    drive->setServoOn(true);
    const QByteArray mode = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    const bool download = argc > 3 && mode == "download";
    const int group = mode.toInt();
    // Opens the window the mode names; false for the main window itself.
    auto open = [&]() -> bool {
        if (group >= 1 && group <= 9)
            main.openParamPage(group);
        else if (mode == "input")
            main.INPUT_PORTClick();
        else if (mode == "jog")
            main.BtnJOGClick();
        else if (mode == "autojog")
            main.BtnAuto_JogClick();
        else if (mode == "manual")
            main.BtnManuTuneClick();
        else if (mode == "monitor")
            main.Monitor1Click();
        else if (mode == "report")
            main.Report1Click();
        else if (download) {
            messages.files = {QString::fromLocal8Bit(argv[3])};
            main.Download1Click();
        } else
            return false;
        return true;
    };
    if (mode == "capture") {
        // A speed step and the motor's damped answer, played into the drive's registers; the
        // capture waits for the command to cross 250 rpm.
        main.Monitor1Click();
        auto *window = main.findChild<TForm_Chart *>();
        if (!window)
            return 1;
        window->findChild<QDoubleSpinBox *>(QStringLiteral("spn_TriggerLevel"))->setValue(250);
        window->findChild<QSpinBox *>(QStringLiteral("spn_PreSamples"))->setValue(60);
        window->findChild<QSpinBox *>(QStringLiteral("spn_PostSamples"))->setValue(240);
        QElapsedTimer clock;
        clock.start();
        QTimer signal;
        QObject::connect(&signal, &QTimer::timeout, [&] {
            const double t = double(clock.elapsed()) / 1000.0 - 1.0; // the step comes at 1 s
            const double command = t < 0 ? 100 : 400;
            const double answer = t < 0 ? 100 : 400 - 300 * std::exp(-3 * t) * std::cos(9 * t);
            drive->setRegister(11, command);
            drive->setRegister(12, answer);
            drive->setRegister(19, 20 + (t < 0 ? 0 : 60 * std::exp(-2 * t)));
            drive->setRegister(20, 80);
        });
        signal.start(5);
        window->findChild<QCheckBox *>(QStringLiteral("chk_TimeAxis"))->setChecked(true);
        window->findChild<QPushButton *>(QStringLiteral("btn_Arm"))->click();
        window->findChild<QPushButton *>(QStringLiteral("Btn_Start"))->click();
        while (window->capture().state() != ChartCapture::State::Captured && clock.elapsed() < 10000)
            QTest::qWait(20);
        QTest::qWait(300);
        window->findChild<QPushButton *>(QStringLiteral("Btn_Stop"))->click();
        signal.stop();
        if (const auto w = window->capture().captured()) {
            window->chart(1)->setCursorIndex(w->trigger + 40);
            window->chart(2)->setCursorIndex(w->trigger + 40);
        }
        QTest::qWait(100);
        const bool ok = window->grab().save(QString::fromLocal8Bit(argv[1]));
        main.stopPoller();
        return ok ? 0 : 1;
    }
    if (mode == "compare") { // the drive beside a backup, after three changes
        QTemporaryDir dir;
        messages.answers = {true};
        messages.files = {dir.filePath(QStringLiteral("backup.vpf"))};
        main.UpLoad1Click();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("TForm_Save_Report"))
                w->close();
        QTest::qWait(200);
        drive->setRegister(304, 55.5);
        drive->setRegister(401, 123);
        drive->setRegister(901, 7);
        messages.files = {dir.filePath(QStringLiteral("backup.vpf"))};
        main.Download1Click();
        auto *preview = main.findChild<TForm_DownLoad *>();
        TForm_Compare *compare = preview ? preview->compareWithDrive() : nullptr;
        if (!compare)
            return 1;
        compare->table()->item(1, 0)->setCheckState(Qt::Checked);
        QTest::qWait(200);
        const bool ok = compare->grab().save(QString::fromLocal8Bit(argv[1]));
        main.stopPoller();
        return ok ? 0 : 1;
    }
    if (mode == "finddrive") { // the finder after a scan of the simulated drive at station 3
        main.BtnOff_LineClick();
        QTest::qWait(300);
        auto *third = new SimDrive(3);
        std::shared_ptr<SimDrive> keep(third);
        main.port().setSimulatedFactory([keep] { return std::make_unique<SimulatedPort>(keep); });
        keep->setRegister(27, 1.04);
        TForm_FindDrive *finder = main.findDrive();
        if (!finder)
            return 1;
        finder->findChild<QComboBox *>()->setCurrentIndex(finder->findChild<QComboBox *>()->count() - 1);
        finder->scan();
        QTest::qWait(200);
        return finder->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
    }
    if (mode == "link") { // the link panel after a little polling
        QTest::qWait(800);
        TForm_Link *panel = main.openLinkPanel();
        QTest::qWait(1200);
        panel->refresh();
        const bool ok = panel->grab().save(QString::fromLocal8Bit(argv[1]));
        main.stopPoller();
        return ok ? 0 : 1;
    }
    if (mode == "selectport") {
        QList<PortEntry> devices = SerialDevices();
        const auto adapter = [](const char *name, const char *what, quint16 vendor, quint16 product, const char *serial) {
            PortEntry e{QLatin1String(name), QStringLiteral("/dev/") + QLatin1String(name), QLatin1String(what), false};
            e.usb = true;
            e.vendorId = vendor;
            e.productId = product;
            e.serialNumber = QLatin1String(serial);
            return e;
        };
        devices << adapter("ttyUSB1", "FT232R USB UART", 0x0403, 0x6001, "A10K3XYZ")
                << adapter("ttyUSB0", "USB-Serial Controller", 0x067b, 0x2303, "");
        OrderPorts(devices);
        SelectPortDialog dialog(WithSimulatedDrive(devices), QStringLiteral("A10K3XYZ"), &main);
        dialog.move(40, 40);
        dialog.show();
        QTest::qWait(200);
        // The dialog as it opens, and below it the list it offers.
        const QPixmap closed = dialog.grab();
        auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("ComboPorts"));
        combo->showPopup();
        QTest::qWait(300);
        const QPixmap list = combo->view()->window()->grab();
        QPixmap shot(std::max(closed.width(), list.width()), closed.height() + 8 + list.height());
        shot.fill(Qt::white);
        QPainter painter(&shot);
        painter.drawPixmap(0, 0, closed);
        painter.drawPixmap(0, closed.height() + 8, list);
        painter.end();
        main.stopPoller();
        return shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
    }
    if (mode == "station") { // the on-line dialog, as it opens
        TForm_ID dialog(&main);
        dialog.show();
        QApplication::processEvents();
        const bool ok = dialog.grab().save(QString::fromLocal8Bit(argv[1]));
        main.stopPoller();
        return ok ? 0 : 1;
    }
    QTimer::singleShot(1500, &app, [&] {
        QWidget *target = open() ? main.childWindows().current() : &main;
        // A chart window samples for a while first, so its charts have something to show.
        auto *start = target->findChild<QPushButton *>(QStringLiteral("Btn_Start"));
        if (start)
            start->click();
        QTimer::singleShot(start ? 2000 : 0, &app, [&, target, start] {
            if (start)
                target->findChild<QPushButton *>(QStringLiteral("Btn_Stop"))->click();
            QApplication::processEvents();
            const QPixmap shot = target->grab();
            const bool ok = shot.save(QString::fromLocal8Bit(argv[1]));
            main.stopPoller();
            app.exit(ok ? 0 : 1);
        });
    });
    return app.exec();
}
