#pragma once

// Runs velmora-cli to its end and keeps what it said and how it ended.

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

struct CliRun {
    int code = -1; // -1: it did not end within the minute, or crashed
    QString out;
    QString err;
    qint64 ms = 0;
};

inline CliRun cli(const QStringList &args)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(VELMORA_CLI_PATH), args);
    CliRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.ms = t.elapsed();
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The lines of an output, empty ones left out.
inline QStringList rowsOf(const QString &out)
{
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
