#pragma once

#include <QSerialPort>

#include "link/DrivePort.h"

namespace velmora {

// A serial device (or pseudo-terminal) through Qt's serial port.
class QtSerialDrivePort : public DrivePort {
    Q_OBJECT
public:
    explicit QtSerialDrivePort(const QString &devicePath, QObject *parent = nullptr);

    void applySettings(const PortSettings &settings) override { settings_ = settings; }
    bool open() override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    QString errorString() const override { return error_; }
    QString portName() const override;
    LineReport lineReport() const override { return line_; }

    qint64 bytesWaiting() const override { return port_.bytesAvailable(); }
    QByteArray readAll() override { return port_.readAll(); }
    void send(const quint8 *data, int length) override;
    void discardInput() override;
    void discardOutput() override;

private:
    void tuneLine();
    void onError(QSerialPort::SerialPortError error);

    QString path_;
    PortSettings settings_;
    QSerialPort port_;
    QString error_;
    LineReport line_;
    bool lost_ = false;
};

} // namespace velmora
