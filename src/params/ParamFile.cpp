#include "params/ParamFile.h"

#include <QFile>

#include "params/AtomicFile.h"
#include "params/Catalogue.h"

namespace velmora {

namespace {

constexpr qint64 kMaxLineBytes = 256;

} // namespace

QString ParamFileMarker(int group)
{
    return QStringLiteral("[P%1--]").arg(group);
}

void ApplyMotorDefaults(QStringList &p1Texts)
{
    bool ok = false;
    const int motor = p1Texts.value(0).toInt(&ok);
    if (ok && motor == 0)
        return;
    for (int i = kFirstMotorLine; i <= kLastMotorLine && i < p1Texts.size(); ++i)
        p1Texts[i] = QLatin1String(kMotorDefault);
}

QStringList BuildParamFileLines(const std::array<QStringList, 9> &texts)
{
    QStringList lines;
    for (int g = 1; g <= 9; ++g) {
        lines << ParamFileMarker(g);
        const QStringList &group = texts[size_t(g - 1)];
        // A group never read still takes its place, so every later line keeps its meaning.
        const int count = int(ParamGroups[size_t(g - 1)].defs.size());
        for (int i = 0; i < count; ++i)
            lines << group.value(i);
    }
    return lines;
}

bool SaveParamFile(const QString &path, const QStringList &lines, QString *error)
{
    QByteArray content;
    for (const QString &line : lines)
        content += line.toLatin1() + "\r\n";
    return WriteFileAtomically(path, content, error);
}

std::optional<QStringList> ReadParamFileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QStringList lines;
    while (lines.size() < kParamFileLines && !file.atEnd()) {
        QByteArray raw = file.readLine(kMaxLineBytes + 1);
        if (raw.isEmpty() && file.error() != QFile::NoError)
            return std::nullopt;
        // A line longer than the cut: skip the rest of it.
        if (!raw.endsWith('\n')) {
            while (!file.atEnd()) {
                const QByteArray rest = file.readLine(kMaxLineBytes + 1);
                if (rest.isEmpty() || rest.endsWith('\n'))
                    break;
            }
        }
        while (raw.endsWith('\n') || raw.endsWith('\r'))
            raw.chop(1);
        QString line;
        for (char c : raw.left(kMaxLineBytes))
            line += (c >= 0x20 && c < 0x7F) ? QChar::fromLatin1(c) : QChar(QChar::ReplacementCharacter);
        lines << line;
    }
    return lines;
}

} // namespace velmora
