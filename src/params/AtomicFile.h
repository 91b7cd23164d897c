#pragma once

#include <QByteArray>
#include <QString>

namespace velmora {

// Writes content to path through a temporary file beside it that replaces the target only
// once complete, so a failed write (a full disk, a read-only folder) never destroys the
// file it was to replace. The error text says what the system reported.
bool WriteFileAtomically(const QString &path, const QByteArray &content, QString *error = nullptr);

} // namespace velmora
