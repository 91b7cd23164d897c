#include "params/Compare.h"

#include <cmath>

#include "params/Catalogue.h"
#include "params/Download.h"
#include "params/PageReader.h"
#include "params/ParamFile.h"
#include "params/ValueCodec.h"

namespace velmora {

namespace {

// The motor code's text as a number; nothing when it is not a whole number.
std::optional<int> motorCode(const QString &text)
{
    bool ok = false;
    const int code = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(code) : std::nullopt;
}

bool isMotorLine(int g, int i)
{
    return g == 1 && i >= kFirstMotorLine && i <= kLastMotorLine;
}

// "Inertia [gfcm^2]" -> "Inertia", "gfcm^2".
void splitCaption(const QString &caption, QString &name, QString &unit)
{
    const qsizetype open = caption.lastIndexOf(QLatin1Char('['));
    if (caption.endsWith(QLatin1Char(']')) && open > 0) {
        name = caption.left(open).trimmed();
        unit = caption.mid(open + 1, caption.size() - open - 2).trimmed();
        return;
    }
    name = caption.trimmed();
    unit.clear();
}

QString outcomeWords(ReplyOutcome o, uint8_t station)
{
    switch (o) {
    case ReplyOutcome::Good: return QStringLiteral("answered");
    case ReplyOutcome::Rejected: return QStringLiteral("refused by the drive");
    case ReplyOutcome::Bad: return QStringLiteral("corrupted reply from station %1").arg(station);
    case ReplyOutcome::NoReply: return QStringLiteral("no reply from station %1").arg(station);
    case ReplyOutcome::LinkDown: return QStringLiteral("the link is down");
    }
    return {};
}

} // namespace

std::optional<GroupTexts> ParamFileGroups(const QStringList &lines, QString *error)
{
    auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (lines.size() < kParamFileLines)
        return failed(QStringLiteral("the file has %1 lines, a parameter file has %2").arg(lines.size()).arg(kParamFileLines));
    GroupTexts texts;
    int line = 0;
    for (int g = 1; g <= 9; ++g) {
        if (lines[line].trimmed() != ParamFileMarker(g))
            return failed(QStringLiteral("line %1 should read %2 but holds \"%3\"")
                              .arg(line + 1)
                              .arg(ParamFileMarker(g), PrintableExcerpt(lines[line].trimmed())));
        ++line;
        const auto defs = ParamGroups[size_t(g - 1)].defs;
        for (size_t i = 0; i < defs.size(); ++i, ++line)
            texts[size_t(g - 1)] << lines[line].trimmed();
    }

    const std::optional<int> motor = motorCode(texts[0].value(0));
    if (!motor)
        return failed(QStringLiteral("line 2 (P1-01) holds \"%1\", not a motor code").arg(PrintableExcerpt(texts[0].value(0))));
    line = 0;
    for (int g = 1; g <= 9; ++g) {
        ++line; // the marker
        const auto defs = ParamGroups[size_t(g - 1)].defs;
        for (size_t i = 0; i < defs.size(); ++i, ++line) {
            QString &text = texts[size_t(g - 1)][int(i)];
            if (*motor != 0 && isMotorLine(g, int(i))) {
                text = QLatin1String(kMotorDefault);
                continue;
            }
            double v = 0;
            if (!ParseTypedReal(text, v))
                return failed(QStringLiteral("line %1 (%2) holds \"%3\", not a number")
                                  .arg(line + 1)
                                  .arg(ParamIdForAddress(defs[i].Address), PrintableExcerpt(text)));
            // A value no drive can hold (out of range, a fraction of a whole number) keeps
            // its own text: shown at the parameter's decimals it could pass for the drive's.
            const bool holdable = InRange(defs[i], float(v)) && (defs[i].IsReal == 1 || v == std::round(v));
            text = holdable ? FormatParamValue(float(v), defs[i].Decimals) : PrintableExcerpt(text);
        }
    }
    return texts;
}

DriveGroups ReadDriveGroups(DriveSession &s)
{
    DriveGroups out;
    ParamTexts texts;
    for (int g = 1; g <= 9; ++g) {
        if (s.isLinkDown() || (!out.failed.empty() && s.link.linkFailed == 1)) {
            out.unread.push_back(g);
            continue;
        }
        const ReplyOutcome o = TThread_Pg_READ(s, texts, g).run();
        if (o != ReplyOutcome::Good)
            out.failed.emplace_back(g, o);
    }
    for (const auto &[g, o] : out.failed)
        texts.P(g).clear(); // never a stale or partial group
    out.texts = texts.texts;
    return out;
}

std::vector<ParamDifference> CompareGroupTexts(const GroupTexts &file, const GroupTexts &drive)
{
    std::vector<ParamDifference> rows;
    // P1-02..P1-09 read "default" in a file whose motor comes from the drive's list; they
    // agree with a drive whose motor also comes from its list, whatever values it holds.
    const std::optional<int> driveMotor = motorCode(drive[0].value(0));
    for (int g = 1; g <= 9; ++g) {
        const ParamGroup &group = ParamGroups[size_t(g - 1)];
        for (size_t i = 0; i < group.defs.size(); ++i) {
            ParamDifference row;
            row.id = ParamIdForAddress(group.defs[i].Address);
            splitCaption(QString::fromUtf8(group.rows[i].name), row.name, row.unit);
            row.fileText = file[size_t(g - 1)].value(int(i));
            row.driveText = drive[size_t(g - 1)].value(int(i));
            if (isMotorLine(g, int(i)) && row.fileText == QLatin1String(kMotorDefault))
                row.differs = !driveMotor || *driveMotor == 0;
            else
                row.differs = row.fileText != row.driveText;
            rows.push_back(row);
        }
    }
    return rows;
}

std::vector<ParamDifference> DriveComparison::differences() const
{
    std::vector<ParamDifference> out;
    for (const ParamDifference &row : rows)
        if (row.differs)
            out.push_back(row);
    return out;
}

QString DescribeUnreadGroups(const DriveGroups &groups, uint8_t station)
{
    QStringList parts;
    // Groups that failed the same way share one phrase.
    for (size_t k = 0; k < groups.failed.size();) {
        const ReplyOutcome o = groups.failed[k].second;
        QStringList names;
        for (; k < groups.failed.size() && groups.failed[k].second == o; ++k)
            names << QStringLiteral("P%1").arg(groups.failed[k].first);
        parts << QStringLiteral("%1: %2").arg(names.join(QStringLiteral(", ")), outcomeWords(o, station));
    }
    if (!groups.unread.empty()) {
        const int first = groups.unread.front(), last = groups.unread.back();
        parts << (first == last ? QStringLiteral("P%1 not read").arg(first)
                                : QStringLiteral("P%1 to P%2 not read").arg(first).arg(last));
    }
    return parts.join(QStringLiteral("; "));
}

DriveComparison CompareWithDrive(DriveSession &s, const QStringList &fileLines)
{
    DriveComparison result;
    QString error;
    const std::optional<GroupTexts> file = ParamFileGroups(fileLines, &error);
    if (!file) {
        result.error = error;
        return result;
    }
    const DriveGroups drive = ReadDriveGroups(s);
    if (!drive.complete()) {
        result.error = QStringLiteral("%1; nothing compared").arg(DescribeUnreadGroups(drive, s.station()));
        return result;
    }
    result.rows = CompareGroupTexts(*file, drive.texts);
    for (const ParamDifference &row : result.rows)
        result.differing += row.differs ? 1 : 0;
    return result;
}

} // namespace velmora
