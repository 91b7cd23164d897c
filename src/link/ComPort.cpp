#include "link/ComPort.h"

#include "link/KeptSettings.h"
#include "link/QtSerialDrivePort.h"
#include "link/Texts.h"

namespace velmora {

ComPort::ComPort(QObject *parent) : DrivePort(parent)
{
    device_ = [](const PortEntry &entry) -> std::unique_ptr<DrivePort> {
        return std::make_unique<QtSerialDrivePort>(entry.path);
    };
}

ComPort::~ComPort()
{
    close();
}

QList<PortEntry> ComPort::pickablePorts() const
{
    QList<PortEntry> out = lister_ ? lister_() : QList<PortEntry>();
    return simulated_ ? WithSimulatedDrive(std::move(out)) : out;
}

std::optional<PortEntry> ComPort::resolve()
{
    if (settings_.simulate)
        return SimulatedEntry();
    if (!settings_.device.isEmpty())
        return PortEntry{settings_.device, settings_.device, QString(), false};
    if (settings_.ComNumber == 0) {
        if (!chooser_) {
            error_ = tr("No port chosen");
            return std::nullopt;
        }
        std::optional<PortEntry> chosen = chooser_(WithSimulatedDrive(lister_()));
        if (!chosen)
            error_ = tr("No port chosen");
        return chosen;
    }
    const QList<PortEntry> devices = lister_();
    if (settings_.ComNumber < 1 || settings_.ComNumber > devices.size()) {
        error_ = devices.isEmpty() ? tr("Port %1: no serial device found").arg(settings_.ComNumber)
                                   : tr("Port %1: only %2 serial device(s) found")
                                         .arg(settings_.ComNumber)
                                         .arg(devices.size());
        return std::nullopt;
    }
    return devices.at(settings_.ComNumber - 1);
}

bool ComPort::open()
{
    error_.clear();
    if (isOpen()) {
        error_ = tr("The port is open already");
        return false;
    }
    const std::optional<PortEntry> entry = resolve();
    if (!entry)
        return false;

    std::unique_ptr<DrivePort> port;
    if (entry->simulated) {
        if (!simulated_) {
            error_ = tr("The simulated drive is not available here");
            return false;
        }
        port = simulated_();
    } else {
        port = device_(*entry);
    }
    port->applySettings(settings_);
    if (!port->open()) {
        error_ = port->errorString();
        return false;
    }
    connect(port.get(), &DrivePort::dataAvailable, this, &DrivePort::dataAvailable);
    connect(port.get(), &DrivePort::deviceLost, this, &DrivePort::deviceLost);
    inner_ = std::move(port);
    name_ = entry->name;
    // The adapter is known by its serial number from now on, whatever ttyUSB it gets.
    if (entry->usb && !entry->serialNumber.isEmpty() && entry->serialNumber != settings_.adapterSerial) {
        settings_.adapterSerial = entry->serialNumber;
        KeptSettings::setValue(QStringLiteral("port/adapterSerial"), settings_.adapterSerial);
    }
    return true;
}

void ComPort::close()
{
    if (!inner_)
        return;
    inner_->disconnect(this);
    inner_->close();
    // Closing may be the answer to one of the device's own signals: free it afterwards.
    inner_.release()->deleteLater();
}

void ComPort::send(const quint8 *data, int length)
{
    if (inner_)
        inner_->send(data, length);
}

void ComPort::discardInput()
{
    if (inner_)
        inner_->discardInput();
}

void ComPort::discardOutput()
{
    if (inner_)
        inner_->discardOutput();
}

} // namespace velmora
