#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <memory>

#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/KeptSettings.h"
#include "shell/MainWindow.h"
#include "shell/SelectPortDialog.h"
#include "shell/WidgetMessageService.h"

using namespace velmora;

namespace {
constexpr int kSimulatedChunkBytes = 4;
}

int main(int argc, char *argv[])
{
    // Answered without a display, as command-line programs are expected to.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
            std::printf("Velmora %s\n", VELMORA_VERSION);
            return 0;
        }
    }
    // Without a display Qt would abort with a message about plugins; say what to do instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "velmora: no display. On a machine without one, run it under a virtual display:\n"
                             "  xvfb-run -a %s\n",
                     argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velmora"));
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
    // Ties the windows to the installed desktop entry (task bars, Wayland's window icons).
    QGuiApplication::setDesktopFileName(QStringLiteral(VELMORA_APP_ID));
    QIcon fallback;
    for (const char *size : {"16x16", "32x32", "48x48", "256x256"})
        fallback.addFile(QStringLiteral(":/icons/%1/apps/" VELMORA_APP_ID ".png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(VELMORA_APP_ID), fallback));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Commissioning tool for the VD-840 servo drive."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOpt(QStringLiteral("port"),
                                     QStringLiteral("Serial device to use (any path, e.g. a pseudo-terminal)."),
                                     QStringLiteral("DEVICE"));
    const QCommandLineOption simOpt(QStringLiteral("simulate"), QStringLiteral("Use the built-in simulated drive."));
    parser.addOptions({portOpt, simOpt});
    parser.process(app);

    WidgetMessageService messages;
    TForm_Main main(messages);
    messages.setParent(&main);

    auto drive = std::make_shared<SimDrive>(1);
    ComPort &port = main.port();
    // The simulated drive answers at the pace of the chosen baud rate and in small pieces,
    // as bytes come off a wire: the link watchdog judges the link by catching replies in
    // the middle of their arrival.
    port.setSimulatedFactory([drive, &port] {
        drive->setPacingBaud(port.settings().Baud);
        drive->setChunkSize(kSimulatedChunkBytes);
        return std::make_unique<SimulatedPort>(drive);
    });
    port.setChooser([&main, &port](const QList<PortEntry> &ports) {
        return SelectPortDialog::choose(ports, port.settings().adapterSerial, &main);
    });
    KeptSettings::enable();
    PortSettings settings = port.settings();
    LoadPortChoices(settings);
    settings.device = parser.value(portOpt);
    settings.simulate = parser.isSet(simOpt);
    port.applySettings(settings);

    main.show();
    return app.exec();
}
