#pragma once

// Logging categories, one per layer. Switch the wire log on with
// QT_LOGGING_RULES="velmora.wire.debug=true": every exchange is logged with its frames, a
// millisecond timestamp, its outcome and how long it took.

#include <QByteArray>
#include <QLoggingCategory>

namespace velmora {

Q_DECLARE_LOGGING_CATEGORY(lcLink)   // velmora.link: link state, limits, drains
Q_DECLARE_LOGGING_CATEGORY(lcWire)   // velmora.wire: frames
Q_DECLARE_LOGGING_CATEGORY(lcWorker) // velmora.worker: pollers and samplers

bool WireLogEnabled();
void LogExchange(const QByteArray &request, const QByteArray &reply, const char *outcome, qint64 elapsedMs);

} // namespace velmora
