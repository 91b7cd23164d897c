#pragma once

// Fields of the CSV files the tool writes: quoted only where a comma, quote or line end
// needs it, quotes doubled, UTF-8.

#include <QByteArray>
#include <QString>

namespace velmora {

inline QByteArray CsvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n') && !bytes.contains('\r'))
        return bytes;
    bytes.replace("\"", "\"\"");
    return '"' + bytes + '"';
}

} // namespace velmora
