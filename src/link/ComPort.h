#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "link/DrivePort.h"
#include "link/PortList.h"

namespace velmora {

// The program's one serial port. It keeps the settings and, at each opening, picks the
// device they name: an explicit path, the built-in simulated drive, the n-th serial
// device for port numbers 1 to 8, or whatever the user chooses for port number 0.
class ComPort : public DrivePort {
    Q_OBJECT
public:
    using Chooser = std::function<std::optional<PortEntry>(const QList<PortEntry> &)>;
    using Factory = std::function<std::unique_ptr<DrivePort>(const PortEntry &)>;

    explicit ComPort(QObject *parent = nullptr);
    ~ComPort() override;

    // Asked for a port when the port number is 0 ("Select Port"). No chooser: the opening fails.
    void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }
    // Makes the port for the built-in simulated drive.
    void setSimulatedFactory(std::function<std::unique_ptr<DrivePort>()> f) { simulated_ = std::move(f); }
    // Replaces how a device path becomes a port (tests).
    void setDeviceFactory(Factory f) { device_ = std::move(f); }
    // Where the numbered ports come from (the system's serial devices by default).
    void setDeviceLister(std::function<QList<PortEntry>()> lister) { lister_ = std::move(lister); }

    const PortSettings &settings() const { return settings_; }
    // What a port number n (entry n - 1) would open now, and the simulated drive when there
    // is one: the entries a user can pick or scan.
    QList<PortEntry> pickablePorts() const;
    DrivePort *current() const { return inner_.get(); }

    void applySettings(const PortSettings &settings) override { settings_ = settings; }
    bool open() override;
    void close() override;
    bool isOpen() const override { return inner_ && inner_->isOpen(); }
    QString errorString() const override { return error_; }
    // The name of the entry opened ("ttyUSB0", "Simulated VD-840").
    QString portName() const override { return inner_ ? name_ : QString(); }
    LineReport lineReport() const override { return inner_ ? inner_->lineReport() : LineReport{}; }

    qint64 bytesWaiting() const override { return inner_ ? inner_->bytesWaiting() : 0; }
    QByteArray readAll() override { return inner_ ? inner_->readAll() : QByteArray(); }
    void send(const quint8 *data, int length) override;
    void discardInput() override;
    void discardOutput() override;

private:
    std::optional<PortEntry> resolve();

    PortSettings settings_;
    std::unique_ptr<DrivePort> inner_;
    QString error_;
    Chooser chooser_;
    std::function<std::unique_ptr<DrivePort>()> simulated_;
    std::function<QList<PortEntry>()> lister_ = SerialDevices;
    QString name_;
    Factory device_;
};

} // namespace velmora
