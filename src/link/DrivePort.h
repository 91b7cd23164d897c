#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include "link/SerialLine.h"

namespace velmora {

// Port settings as the connection dialog keeps them. They take effect at the next open().
struct PortSettings {
    enum class ParityChoice { None, Even, Odd, Mark, Space };

    int ComNumber = 0;          // 0: ask the user; 1..8: the n-th serial device found
    qint32 Baud = 9600;
    int DataBits = 8;
    ParityChoice Parity = ParityChoice::None;
    int StopBits = 1;
    bool SWFlowOptions = false; // XON/XOFF; never wanted for binary frames
    QString device;             // explicit device path (e.g. a pseudo-terminal); wins over ComNumber
    bool simulate = false;      // use the built-in simulated drive
    bool rs485 = false;         // ask the driver to switch the line's direction (RTS on send)
    QString adapterSerial;      // the USB adapter last chosen, by its serial number
};

QString parityName(PortSettings::ParityChoice p);

// The operations the drive link needs of a serial port. Every call is made on the
// user-interface thread; dataAvailable() is emitted there too.
class DrivePort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~DrivePort() override = default;

    virtual void applySettings(const PortSettings &settings) = 0;
    // Opens the device. On failure returns false and errorString() says why, in words
    // the user can act on (busy, permission, no such device, cancelled).
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString errorString() const = 0;
    // A short name of what is open, for the status bar ("ttyUSB0", "Simulated VD-840").
    virtual QString portName() const = 0;
    // What the driver of the open device took of the adapter settings (nothing asked by
    // default: the simulated drive has no driver).
    virtual LineReport lineReport() const { return {}; }

    virtual qint64 bytesWaiting() const = 0;
    virtual QByteArray readAll() = 0;
    // Queues the bytes and returns at once.
    virtual void send(const quint8 *data, int length) = 0;
    virtual void discardInput() = 0;
    virtual void discardOutput() = 0;

signals:
    void dataAvailable();
    // The device went away while open (USB adapter unplugged). The port is still
    // nominally open; the owner closes it.
    void deviceLost(const QString &reason);
};

} // namespace velmora
