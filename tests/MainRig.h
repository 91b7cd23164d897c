#pragma once

// The main window on a simulated drive behind three numbered "devices", with a short
// reply wait and a recording message service.

#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/MessageService.h"
#include "shell/MainWindow.h"

namespace velmora {

template <class Messages = RecordingMessageService>
struct MainRigWith {
    Messages messages;
    std::shared_ptr<SimDrive> drive = std::make_shared<SimDrive>(1);
    TForm_Main main{messages};
    SimulatedPort *lastPort = nullptr;

    MainRigWith()
    {
        // Three numbered "devices", each the simulated drive.
        main.port().setDeviceLister([] {
            QList<PortEntry> list;
            for (int i = 0; i < 3; ++i)
                list << PortEntry{QStringLiteral("ttyFAKE%1").arg(i), QStringLiteral("/dev/ttyFAKE%1").arg(i), {}, false};
            return list;
        });
        main.port().setDeviceFactory([this](const PortEntry &) {
            auto port = std::make_unique<SimulatedPort>(drive);
            lastPort = port.get();
            return port;
        });
        main.port().setSimulatedFactory([this] { return std::make_unique<SimulatedPort>(drive); });
        main.session().responseWaitMs = 50;
    }
    QPushButton *button(const char *name) { return main.findChild<QPushButton *>(QLatin1String(name)); }
    bool menuEnabled(const char *name) { return main.findChild<QMenu *>(QLatin1String(name))->menuAction()->isEnabled(); }
    // Waits (at most five seconds) until the poller has finished n more cycles.
    bool waitPollCycles(int n)
    {
        TThread_ST_ALS_READ *poller = main.poller();
        if (!poller)
            return false;
        const int target = poller->cyclesDone() + n;
        QElapsedTimer clock;
        clock.start();
        // The poller may be stopped and freed meanwhile (the link going down): then it is
        // not this poller's cycles any more.
        while (main.poller() == poller && poller->cyclesDone() < target && clock.elapsed() < 5000)
            QTest::qWait(5);
        return main.poller() == poller && poller->cyclesDone() >= target;
    }
    void usePort(int number, int baud = 9600)
    {
        PortSettings s = main.port().settings();
        s.ComNumber = number;
        s.Baud = baud;
        main.port().applySettings(s);
    }
};

using MainRig = MainRigWith<>;

} // namespace velmora
