#pragma once

// The built-in simulated drive behind the port interface. Replies arrive asynchronously,
// piece by piece, with the drive's delays, the way a real port hands them over.

#include <deque>
#include <memory>

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

#include "SimDrive.h"
#include "link/DrivePort.h"

namespace velmora {

class SimulatedPort : public DrivePort {
    Q_OBJECT
public:
    explicit SimulatedPort(std::shared_ptr<SimDrive> drive, QObject *parent = nullptr);

    SimDrive &drive() const { return *drive_; }

    void applySettings(const PortSettings &settings) override;
    bool open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    QString errorString() const override { return error_; }
    QString portName() const override { return QStringLiteral("Simulated VD-840"); }

    qint64 bytesWaiting() const override { return input_.size(); }
    QByteArray readAll() override;
    void send(const quint8 *data, int length) override;
    // Drops what has arrived; bytes still on their way keep coming, as on a real line.
    void discardInput() override { input_.clear(); }
    void discardOutput() override {}

    // The adapter is pulled out: deviceLost, and nothing more goes either way.
    void simulateUnplug();

private:
    struct Pending {
        qint64 dueUs;
        QByteArray bytes;
    };

    qint64 nowUs() const { return clock_.nsecsElapsed() / 1000; }
    void arm();
    void deliverNext();

    std::shared_ptr<SimDrive> drive_;
    bool open_ = false;
    bool unplugged_ = false;
    QString error_;
    QByteArray input_;
    std::deque<Pending> pending_;
    qint64 lineFreeUs_ = 0; // when the last piece queued has arrived
    QElapsedTimer clock_;
    QTimer timer_;
    bool notifying_ = false;
    bool arrivedWhileNotifying_ = false;
};

} // namespace velmora
