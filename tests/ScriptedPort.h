#pragma once

// A port whose other end is the test: it records what is sent and delivers the bytes the
// test hands it, at once or later, like a device would.

#include <QTimer>

#include <functional>

#include "link/DrivePort.h"

class ScriptedPort : public velmora::DrivePort {
    Q_OBJECT
public:
    void applySettings(const velmora::PortSettings &) override {}
    bool open() override { open_ = true; return true; }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    QString errorString() const override { return {}; }
    QString portName() const override { return QStringLiteral("scripted"); }
    qint64 bytesWaiting() const override { return input.size(); }
    QByteArray readAll() override { QByteArray b = input; input.clear(); return b; }
    void send(const quint8 *data, int length) override
    {
        const QByteArray frame(reinterpret_cast<const char *>(data), length);
        sent << frame;
        if (onSend)
            onSend(frame);
    }
    void discardInput() override { input.clear(); ++inputDiscards; }
    void discardOutput() override { ++outputDiscards; }

    void deliver(const QByteArray &bytes)
    {
        if (!open_)
            return;
        input += bytes;
        emit dataAvailable();
    }
    void deliverLater(const QByteArray &bytes, int ms)
    {
        QTimer::singleShot(ms, Qt::PreciseTimer, this, [this, bytes] { deliver(bytes); });
    }

    QList<QByteArray> sent;
    QByteArray input;
    int inputDiscards = 0;
    int outputDiscards = 0;
    std::function<void(const QByteArray &)> onSend;

private:
    bool open_ = true;
};
