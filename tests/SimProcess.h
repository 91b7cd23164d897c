#pragma once

// Runs vd840-sim on a pseudo-terminal for the length of a test or benchmark.

#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess {
public:
    explicit SimProcess(const QStringList &arguments = {})
    {
        process_.setProgram(QStringLiteral(VD840_SIM_PATH));
        process_.setArguments(arguments);
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start();
        if (!process_.waitForStarted(5000))
            return;
        while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
        }
        device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~SimProcess()
    {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(3000);
    }
    QString device() const { return device_; }

private:
    QProcess process_;
    QString device_;
};
