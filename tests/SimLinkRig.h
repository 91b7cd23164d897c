#pragma once

// The drive link alone (session and receiver, no windows) on the in-process simulated drive.

#include <memory>

#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/DriveSession.h"
#include "link/MessageService.h"
#include "link/Receiver.h"

namespace velmora {

struct SimLinkRig {
    std::shared_ptr<SimDrive> drive = std::make_shared<SimDrive>(1);
    SimulatedPort port{drive};
    RecordingMessageService messages;
    DriveSession session{&port, &messages};
    TThread_Receive receiver{session};

    explicit SimLinkRig(int waitMs = kResponseWaitMs)
    {
        QObject::connect(&port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);
        port.open();
        session.req.stationNumber = 1;
        session.responseWaitMs = waitMs;
    }
};

} // namespace velmora
