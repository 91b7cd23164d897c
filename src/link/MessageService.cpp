#include "link/MessageService.h"

#include <QFileInfo>

#include <cstdio>

namespace velmora {

bool RecordingMessageService::askYesNo(const QString &text)
{
    shown << text;
    if (answers.empty())
        return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
}

void RecordingMessageService::error(const QString &text, const QString &detail)
{
    shown << text;
    details << detail;
}

QString RecordingMessageService::chooseOpenFile(const QString &, const QString &)
{
    if (files.empty())
        return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

QString RecordingMessageService::chooseSaveFile(const QString &caption, const QString &filter)
{
    return chooseOpenFile(caption, filter);
}

void ConsoleMessageService::show(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

bool ConsoleMessageService::askYesNo(const QString &text)
{
    std::fprintf(stderr, "%s (answered No)\n", text.toLocal8Bit().constData());
    return false;
}

void ConsoleMessageService::error(const QString &text, const QString &detail)
{
    if (detail.isEmpty())
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    else
        std::fprintf(stderr, "%s: %s\n", text.toLocal8Bit().constData(), detail.toLocal8Bit().constData());
}

bool SaveThroughDialog(MessageService &messages, const QString &suffix, const QString &what,
                       const std::function<bool(const QString &, QString *)> &write)
{
    QString path = messages.chooseSaveFile(QStringLiteral("Save"), QStringLiteral("*.") + suffix);
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    QString error;
    if (!write(path, &error)) {
        messages.error(QStringLiteral("The %1 could not be saved as %2.").arg(what, path), error);
        return false;
    }
    return true;
}

} // namespace velmora
