// Takes the README's screenshot: the main window on line against the simulated drive.
// Usage: velmora-screenshot OUT.png [GROUP]   (under a display, e.g. xvfb-run)
// With GROUP (1 to 9) the picture is of that parameter page instead; with "download FILE"
// it is of the write-to-drive window previewing FILE; with "input" of the input panel.
#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <memory>

#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/MessageService.h"
#include "shell/MainWindow.h"

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
    QTimer::singleShot(1500, &app, [&] {
        QWidget *target = &main;
        if (group >= 1 && group <= 9) {
            main.openParamPage(group);
            target = main.childWindows().current();
            QApplication::processEvents();
        } else if (mode == "input") {
            main.INPUT_PORTClick();
            target = main.childWindows().current();
            QApplication::processEvents();
        } else if (download) {
            messages.files = {QString::fromLocal8Bit(argv[3])};
            main.Download1Click();
            target = main.childWindows().current();
            QApplication::processEvents();
        }
        const QPixmap shot = target->grab();
        const bool ok = shot.save(QString::fromLocal8Bit(argv[1]));
        main.stopPoller();
        app.exit(ok ? 0 : 1);
    });
    return app.exec();
}
