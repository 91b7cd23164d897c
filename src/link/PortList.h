#pragma once

#include <QList>
#include <QString>

namespace velmora {

struct PortEntry {
    QString name;        // "ttyUSB0", or "Simulated VD-840"
    QString path;        // "/dev/ttyUSB0"; empty for the simulated drive
    QString description; // what the system knows of the device, may be empty
    bool simulated = false;
    // A USB adapter: its vendor and product numbers and serial number (when it has one).
    quint16 vendorId = 0;
    quint16 productId = 0;
    bool usb = false;
    QString serialNumber{};

    // How lists show the entry: "ttyUSB0 - FT232R USB UART [0403:6001, serial A10K3XYZ]".
    QString displayText() const;
    // An on-board port (ttyS0...): present on most PCs, almost never the one wanted.
    bool legacy() const;
};

// The serial devices that exist, USB adapters first, then other ports, then the legacy
// ttyS ports, each group in natural order. Port number n of the settings opens entry
// n - 1 of this list.
QList<PortEntry> SerialDevices();
// The order SerialDevices() gives, applied to any list.
void OrderPorts(QList<PortEntry> &ports);
// The entry for the built-in simulated drive.
PortEntry SimulatedEntry();
// The devices with the simulated drive placed before the legacy ports: what a user may pick.
QList<PortEntry> WithSimulatedDrive(QList<PortEntry> devices);

// The entry of the USB adapter with this serial number, or -1.
int FindAdapter(const QList<PortEntry> &ports, const QString &serialNumber);

} // namespace velmora
