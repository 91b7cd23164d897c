#include "link/QtSerialDrivePort.h"

#include <QFileInfo>

#include "link/LinkLog.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace velmora {

namespace {

QSerialPort::Parity toQt(PortSettings::ParityChoice p)
{
    switch (p) {
    case PortSettings::ParityChoice::Even: return QSerialPort::EvenParity;
    case PortSettings::ParityChoice::Odd: return QSerialPort::OddParity;
    case PortSettings::ParityChoice::Mark: return QSerialPort::MarkParity;
    case PortSettings::ParityChoice::Space: return QSerialPort::SpaceParity;
    case PortSettings::ParityChoice::None: break;
    }
    return QSerialPort::NoParity;
}

} // namespace

QtSerialDrivePort::QtSerialDrivePort(const QString &devicePath, QObject *parent)
    : DrivePort(parent), path_(devicePath)
{
    port_.setPortName(devicePath);
    connect(&port_, &QSerialPort::readyRead, this, &DrivePort::dataAvailable);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialDrivePort::onError);
}

QString QtSerialDrivePort::portName() const
{
    return QFileInfo(path_).fileName();
}

bool QtSerialDrivePort::open()
{
    error_.clear();
    if (port_.isOpen()) {
        error_ = tr("%1 is open already").arg(path_);
        return false;
    }
    // Every setting before opening: changing them on an open pseudo-terminal fails.
    port_.setBaudRate(settings_.Baud);
    port_.setDataBits(static_cast<QSerialPort::DataBits>(settings_.DataBits));
    port_.setParity(toQt(settings_.Parity));
    port_.setStopBits(settings_.StopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port_.setFlowControl(settings_.SWFlowOptions ? QSerialPort::SoftwareControl : QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        const QByteArray native = path_.toLocal8Bit();
        if (!QFileInfo::exists(path_)) {
            error_ = tr("%1 does not exist").arg(path_);
        } else if (::access(native.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
            error_ = tr("Permission denied on %1: add your user to the dialout group "
                        "(sudo usermod -aG dialout $USER) and log in again")
                         .arg(path_);
        } else if (port_.error() == QSerialPort::PermissionError) {
            error_ = tr("%1 is busy: another program is using it").arg(path_);
        } else {
            error_ = tr("%1: %2").arg(path_, port_.errorString());
        }
        return false;
    }
    // Whatever the device held before we opened it is not a reply to us.
    port_.clear(QSerialPort::AllDirections);
    lost_ = false;
    tuneLine();
    return true;
}

void QtSerialDrivePort::tuneLine()
{
    // A reply's bytes are handed on as they arrive rather than when the driver's own timer
    // next runs; every exchange waits for its reply, so this is the exchange rate.
    const int fd = int(port_.handle());
    line_ = LineReport{};
    line_.ttyName = QFileInfo(QFileInfo(path_).canonicalFilePath()).fileName();
    line_.lowLatency = RequestLowLatency(fd);
    line_.rs485 = settings_.rs485 ? EnableRs485(fd) : LineFeature::NotAsked;
    line_.latencyTimerMs = UsbLatencyTimerMs(line_.ttyName);
    qCInfo(lcLink).noquote() << line_.ttyName << "low latency:" << FeatureText(line_.lowLatency)
                             << "| RS-485:" << FeatureText(line_.rs485)
                             << "| latency timer:" << LatencyTimerText(line_);
}

void QtSerialDrivePort::close()
{
    if (port_.isOpen())
        port_.close();
}

void QtSerialDrivePort::send(const quint8 *data, int length)
{
    if (!port_.isOpen())
        return;
    port_.write(reinterpret_cast<const char *>(data), length);
    // Hand the frame to the device now rather than on the next turn of the event loop; the
    // drive's reply time starts when the frame is on the line.
    port_.flush();
}

void QtSerialDrivePort::discardInput()
{
    if (port_.isOpen())
        port_.clear(QSerialPort::Input);
}

void QtSerialDrivePort::discardOutput()
{
    if (port_.isOpen())
        port_.clear(QSerialPort::Output);
}

void QtSerialDrivePort::onError(QSerialPort::SerialPortError error)
{
    // Reported once per opening: a pulled adapter raises one resource error per operation
    // that finds it gone. The reason is the system's words; the owner names the port.
    if (error == QSerialPort::ResourceError && port_.isOpen() && !lost_) {
        lost_ = true;
        emit deviceLost(port_.errorString());
    }
}

} // namespace velmora
