#include "params/Download.h"

#include <algorithm>

#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/Catalogue.h"
#include "params/ParamFile.h"
#include "params/DisplayRules.h"
#include "params/ValueCodec.h"

namespace velmora {

namespace {

// P1-10 is the first P1 value written after the motor code when the motor comes from the
// drive's list; P1-02 to P1-09 then stay as the drive sets them.
constexpr int kFirstValueAfterMotor = 9;
constexpr int kStationIndex = 17;   // P1-18
constexpr int kP2RewriteA = 18;     // P2-19
constexpr int kP2RewriteB = 32;     // P2-33

enum class ValueCheck { Pass, Fails, NotANumber };

ValueCheck checkValue(const QString &text, const TParamDef &def)
{
    if (text.trimmed().isEmpty())
        return ValueCheck::Fails;
    double v = 0;
    if (!ParseTypedReal(text, v))
        return ValueCheck::NotANumber;
    return InRange(def, static_cast<float>(v)) ? ValueCheck::Pass : ValueCheck::Fails;
}

// The index of group g's first value line (after its marker line).
int firstValueLine(int g)
{
    int first = 0;
    for (int k = 1; k < g; ++k)
        first += 1 + int(ParamGroups[size_t(k - 1)].defs.size());
    return first + 1;
}

// Where a value was found wanting, in words the user can look up in the file.
QString whereAndWhat(int g, int i, const QString &text)
{
    const QString where = QStringLiteral("Line %1 (%2)")
                              .arg(firstValueLine(g) + i + 1)
                              .arg(ParamIdForAddress(ParamGroups[size_t(g - 1)].defs[size_t(i)].Address));
    if (text.trimmed().isEmpty())
        return where + QStringLiteral(" is empty.");
    return QStringLiteral("%1 holds \"%2\".").arg(where, PrintableExcerpt(text.trimmed()));
}

// The value lines of group g (1..9), by position alone.
QStringList groupLines(const QStringList &lines, int g)
{
    const int first = firstValueLine(g);
    QStringList out;
    const int count = int(ParamGroups[size_t(g - 1)].defs.size());
    for (int i = 0; i < count; ++i)
        out << lines.value(first + i);
    return out;
}

// Checks texts[from..to) against group g; returns false and adds the message at the first
// failure.
bool checkRange(const QStringList &texts, int g, int from, int to, const QString &failText, DownloadCheck &result)
{
    const auto defs = ParamGroups[size_t(g - 1)].defs;
    for (int i = from; i < to; ++i) {
        const ValueCheck c = checkValue(texts[i], defs[size_t(i)]);
        if (c == ValueCheck::Pass)
            continue;
        result.messages << (c == ValueCheck::NotANumber ? QString::fromLatin1(texts::InvalidData) : failText);
        result.details << whereAndWhat(g, i, texts[i]);
        return false;
    }
    return true;
}


// A request of texts[from..from+count) of group g; false when an encoder refuses a value.
bool addRequest(DownloadPlan &plan, const QStringList &texts, int g, int from, int count, uint8_t function,
                bool endsGroup)
{
    const auto defs = ParamGroups[size_t(g - 1)].defs;
    DownloadRequest r;
    r.function = function;
    r.startRegister = defs[size_t(from)].Address;
    r.group = g;
    r.endsGroup = endsGroup;
    r.words.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        if (!EncodeTypedValue(texts[from + i], defs[size_t(from + i)], r.words[size_t(i)]))
            return false;
    }
    plan.requests.push_back(std::move(r));
    return true;
}

} // namespace

QString PrintableExcerpt(const QString &text, int maxLength)
{
    QString out;
    bool inRun = false;
    for (const QChar c : text) {
        const bool printable = c.isPrint() && c != QChar::ReplacementCharacter;
        if (!printable) {
            if (!inRun)
                out += QLatin1Char('?');
            inRun = true;
            continue;
        }
        inRun = false;
        out += c;
    }
    if (out.size() > maxLength)
        out = out.left(maxLength - 3) + QStringLiteral("...");
    return out;
}

DownloadCheck CheckDownloadLines(const QStringList &lines)
{
    DownloadCheck result;
    std::array<QStringList, 9> texts;
    for (int g = 1; g <= 9; ++g)
        texts[size_t(g - 1)] = groupLines(lines, g);
    const QStringList &p1 = texts[0];

    bool ok = false;
    const int motorCode = p1[0].trimmed().toInt(&ok);
    if (!ok) {
        result.messages << QStringLiteral("The motor code (P1-01) \"%1\" is not a whole number; nothing was written.")
                               .arg(PrintableExcerpt(p1[0].trimmed()));
        result.details << whereAndWhat(1, 0, p1[0]);
        return result;
    }

    bool bad = false;
    const int p1Count = int(p1.size());
    if (motorCode == 0) {
        bad = !checkRange(p1, 1, 0, p1Count, QStringLiteral("Wrong P1 Data"), result);
    } else {
        bad = !checkRange(p1, 1, 0, 1, QStringLiteral("Wrong P1- Data"), result);
        if (!checkRange(p1, 1, kFirstValueAfterMotor, p1Count, QStringLiteral("Wrong P1-- Data"), result))
            bad = true;
    }
    for (int g = 2; g <= 9 && !bad; ++g) {
        const QStringList &t = texts[size_t(g - 1)];
        for (int i = 0; i < t.size() && !bad; ++i) {
            const ValueCheck c = checkValue(t[i], ParamGroups[size_t(g - 1)].defs[size_t(i)]);
            if (c == ValueCheck::Pass)
                continue;
            bad = true;
            if (c == ValueCheck::NotANumber)
                result.messages << QString::fromLatin1(texts::InvalidData);
            else if (g == 2)
                result.messages << QStringLiteral("Wrong P2 Data%1").arg(i + 1);
            else
                result.messages << QStringLiteral("Wrong P%1 Data").arg(g);
            result.details << whereAndWhat(g, i, t[i]);
        }
    }
    if (bad)
        return result;

    // Every request is encoded before the first is sent: a value its encoder refuses (a
    // fraction for a whole-number parameter) stops the run with the drive untouched.
    DownloadPlan plan;
    plan.motorCode = motorCode;
    bool encoded = motorCode == 0 ? addRequest(plan, p1, 1, 0, p1Count, 16, true)
                                  : addRequest(plan, p1, 1, 0, 1, 16, false)
                                        && addRequest(plan, p1, 1, kFirstValueAfterMotor,
                                                      p1Count - kFirstValueAfterMotor, 16, true);
    for (int g = 2; g <= 9 && encoded; ++g)
        encoded = addRequest(plan, texts[size_t(g - 1)], g, 0, int(texts[size_t(g - 1)].size()), 16, true);
    encoded = encoded && addRequest(plan, texts[1], 2, kP2RewriteA, 1, 6, false)
              && addRequest(plan, texts[1], 2, kP2RewriteB, 1, 6, false);
    if (!encoded) {
        result.messages << QString::fromLatin1(texts::WrongParameter);
        result.details << QString();
        return result;
    }
    WriteWord station{};
    EncodeTypedValue(p1[kStationIndex], P1Defs[kStationIndex], station);
    plan.stationAfterP1 = static_cast<uint8_t>(station.low & 0xFF);
    plan.texts = texts;
    result.plan = std::move(plan);
    return result;
}

QString DescribeMismatches(const std::vector<DownloadMismatch> &mismatches, int maxLines)
{
    QStringList lines;
    for (const DownloadMismatch &m : mismatches) {
        if (lines.size() == maxLines) {
            lines << QStringLiteral("... and %1 more").arg(int(mismatches.size()) - maxLines);
            break;
        }
        lines << QStringLiteral("%1: file %2, drive %3").arg(m.id, m.file, m.drive);
    }
    return lines.join(QLatin1Char('\n'));
}

namespace {

// Reads every group back and lists what differs from the file. P1-02..P1-09 are left
// out when the motor came from the drive's list: the run does not write them.
std::vector<DownloadMismatch> verifyAgainstFile(DriveSession &s, const DownloadPlan &plan)
{
    std::vector<DownloadMismatch> out;
    for (int g = 1; g <= 9; ++g) {
        const ParamGroup &group = ParamGroups[size_t(g - 1)];
        if (plan.only && std::none_of(group.defs.begin(), group.defs.end(),
                                      [&plan](const TParamDef &d) { return plan.only->count(d.Address) > 0; }))
            continue; // nothing of this group was written
        const ExchangeResult r = ReadRegisters(s, group.defs[0].Address, uint16_t(group.defs.size()));
        const QStringList &file = plan.texts[size_t(g - 1)];
        for (size_t i = 0; i < group.defs.size(); ++i) {
            if (g == 1 && plan.motorCode != 0 && i >= 1 && int(i) < kFirstValueAfterMotor)
                continue;
            if (plan.only && !plan.only->count(group.defs[i].Address))
                continue;
            const TParamDef &def = group.defs[i];
            double v = 0;
            ParseTypedReal(file.value(int(i)), v);
            const QString fileText = FormatParamValue(float(v), def.Decimals);
            const QString driveText = r.good() ? FormatParamValue(r.value(int(i) + 1), def.Decimals)
                                               : QStringLiteral("no answer");
            if (!r.good() || driveText != fileText)
                out.push_back({ParamIdForAddress(def.Address), fileText, driveText, !r.good()});
        }
    }
    return out;
}

} // namespace

DownloadPlan PartialPlan(const DownloadPlan &full, const std::set<uint16_t> &registers, uint8_t stationNow,
                         std::vector<uint16_t> *skipped)
{
    DownloadPlan plan;
    plan.motorCode = full.motorCode;
    plan.texts = full.texts;
    plan.only = std::set<uint16_t>{};
    plan.stationAfterP1 = stationNow;
    for (uint16_t address : registers) {
        const auto from = std::find_if(full.requests.begin(), full.requests.end(), [address](const DownloadRequest &r) {
            return address >= r.startRegister && address < r.startRegister + r.words.size();
        });
        if (from == full.requests.end()) {
            if (skipped)
                skipped->push_back(address);
            continue;
        }
        DownloadRequest one;
        one.function = 6;
        one.startRegister = address;
        one.words = {from->words[size_t(address - from->startRegister)]};
        one.group = from->group;
        plan.requests.push_back(one);
        plan.only->insert(address);
        if (ParamIdForAddress(address) == QLatin1String("P1-18"))
            plan.stationAfterP1 = full.stationAfterP1;
    }
    // Each group's last request moves the progress on; P1's also the station.
    for (size_t i = 0; i < plan.requests.size(); ++i)
        plan.requests[i].endsGroup = i + 1 == plan.requests.size() || plan.requests[i + 1].group != plan.requests[i].group;
    return plan;
}

DownloadResult RunDownload(DriveSession &s, const DownloadPlan &plan, const std::function<void(int)> &progress)
{
    DownloadResult result;
    for (const DownloadRequest &r : plan.requests) {
        if (s.link.linkFailed == 1 || s.isLinkDown()) {
            result.linkFailed = true;
            return result;
        }
        const ExchangeResult sent = r.function == 6 && !r.words.empty()
                                        ? WriteRegister(s, r.startRegister, r.words.front())
                                        : WriteRegisters(s, r.startRegister, r.words);
        result.outcomes.push_back(sent.outcome);
        if (r.endsGroup) {
            // From here on the drive answers to the station number the file gave it.
            if (r.group == 1)
                s.setStation(plan.stationAfterP1);
            if (progress)
                progress(10 * r.group);
        }
    }
    result.linkFailed = s.link.linkFailed == 1 || s.isLinkDown();
    if (result.linkFailed || result.outcomes.empty())
        return result;
    result.mismatches = verifyAgainstFile(s, plan);
    result.linkFailed = s.link.linkFailed == 1 || s.isLinkDown();
    result.complete = !result.linkFailed && result.mismatches.empty();
    return result;
}

} // namespace velmora
