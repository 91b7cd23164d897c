#pragma once

#include <QList>
#include <QString>

namespace velmora {

struct PortEntry {
    QString name;        // "ttyUSB0", or "Simulated VD-840"
    QString path;        // "/dev/ttyUSB0"; empty for the simulated drive
    QString description; // what the system knows of the device, may be empty
    bool simulated = false;
};

// The serial devices that exist, USB adapters (ttyUSB, ttyACM) first, then the others in
// natural order. Port number n of the settings opens entry n - 1 of this list.
QList<PortEntry> SerialDevices();

// What "Select Port" offers: the serial devices, then the built-in simulated drive.
QList<PortEntry> SelectablePorts();

} // namespace velmora
