#include "params/AtomicFile.h"

#include <QSaveFile>

namespace velmora {

bool WriteFileAtomically(const QString &path, const QByteArray &content, QString *error)
{
    const auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    // Unbuffered, in one write: a buffered QSaveFile takes a short write for success and
    // would rename the cut file over the good one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(file.errorString());
    const qint64 written = file.write(content);
    if (written != content.size()) {
        const QString text = written < 0 ? file.errorString()
                                         : QStringLiteral("only %1 of %2 bytes could be written").arg(written).arg(content.size());
        file.cancelWriting();
        file.commit(); // removes the temporary file; the target is untouched
        return fail(text);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace velmora
