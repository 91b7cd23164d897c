#include "link/LinkLog.h"

#include "link/DriveSession.h"

namespace velmora {

Q_LOGGING_CATEGORY(lcLink, "velmora.link", QtWarningMsg)
Q_LOGGING_CATEGORY(lcWire, "velmora.wire", QtWarningMsg)
Q_LOGGING_CATEGORY(lcWorker, "velmora.worker", QtWarningMsg)

bool WireLogEnabled()
{
    return lcWire().isDebugEnabled();
}

void LogExchange(const QByteArray &request, const QByteArray &reply, const char *outcome, qint64 elapsedMs)
{
    qCDebug(lcWire).noquote() << QStringLiteral("%1 ms  -> %2  <- %3  %4 (%5 ms)")
                                     .arg(LinkClockMs(), 8)
                                     .arg(QString::fromLatin1(request.toHex(' ')),
                                          reply.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(reply.toHex(' ')),
                                          QLatin1String(outcome))
                                     .arg(elapsedMs);
}

} // namespace velmora
