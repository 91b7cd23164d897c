#include "params/Catalogue.h"

#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace velmora {

namespace {

// Blocks a register may belong to, searched by FindParamDef. The tuning selections only
// repeat records found here.
const std::array<std::span<const TParamDef>, 12> kAddressableBlocks{
    StDefs, P1Defs, P2Defs, P3Defs, P4Defs, P5Defs, P6Defs, P7Defs, P8Defs, P9Defs, JogDefs, AutoJogDefs,
};

// Catalogue rounding exponents are 0..-3; anything wilder is clamped so 10^n stays exact.
constexpr int kMaxDecimalShift = 18;

long double powerOfTen(int n)
{
    long double p = 1.0L;
    for (int i = 0; i < n; ++i)
        p *= 10.0L;
    return p;
}

// The value rounded to a multiple of 10^decimals, ties to even. The scaling is done in
// long double, where value * 10^k is exact for every single and for doubles up to k = 4,
// so a value that is a true halfway case is seen as one and no other value is.
double roundToDecimals(double value, int decimals)
{
    if (decimals == 0)
        return std::nearbyint(value);
    const int shift = std::min(std::abs(decimals), kMaxDecimalShift);
    const long double scale = powerOfTen(shift);
    if (decimals < 0)
        return static_cast<double>(std::nearbyint(value * scale) / scale);
    return static_cast<double>(std::nearbyint(value / scale) * scale);
}

// Plain positional text of a finite number with at most 15 significant digits. Built from
// the scientific digits by hand: the general format switches to an exponent for large
// numbers, and the C library follows the locale's decimal separator.
QString plainDigits(double r)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, r, std::chars_format::scientific, 14);
    if (ec != std::errc())
        return QString();
    const std::string sci(buffer, end); // "-d.dddddddddddddde+XX"

    size_t pos = 0;
    const bool negative = sci[pos] == '-';
    if (negative)
        ++pos;
    const size_t e = sci.find('e', pos);
    std::string digits;
    for (size_t i = pos; i < e; ++i) {
        if (sci[i] != '.')
            digits += sci[i];
    }
    const int exponent = std::stoi(sci.substr(e + 1));
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text = negative ? "-" : "";
    const int integerDigits = exponent + 1;
    if (integerDigits <= 0) {
        text += "0." + std::string(static_cast<size_t>(-integerDigits), '0') + digits;
    } else if (static_cast<size_t>(integerDigits) >= digits.size()) {
        text += digits + std::string(static_cast<size_t>(integerDigits) - digits.size(), '0');
    } else {
        text += digits.substr(0, static_cast<size_t>(integerDigits)) + '.'
                + digits.substr(static_cast<size_t>(integerDigits));
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString numberedId(const char *prefix, int number)
{
    return QStringLiteral("%1-%2").arg(QLatin1String(prefix)).arg(number, 2, 10, QLatin1Char('0'));
}

bool holds(std::span<const TParamDef> block, uint16_t address)
{
    return !block.empty() && address >= block.front().Address && address <= block.back().Address;
}

} // namespace

QString FormatParamValue(double value, int decimals)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    double r = roundToDecimals(value, decimals);
    if (r == 0.0)
        r = 0.0; // -0.04 rounds to -0: show it as 0
    return plainDigits(r);
}

bool InRange(const TParamDef &def, float value)
{
    // Written this way round so NaN fails both comparisons.
    return def.MinValue <= value && value <= def.MaxValue;
}

const TParamDef *FindParamDef(uint16_t address)
{
    for (const auto block : kAddressableBlocks) {
        for (const TParamDef &def : block) {
            if (def.Address == address)
                return &def;
        }
    }
    return nullptr;
}

const ParamRow *FindParamRow(uint16_t address)
{
    for (const ParamGroup &group : ParamGroups) {
        for (size_t i = 0; i < group.defs.size(); ++i) {
            if (group.defs[i].Address == address)
                return &group.rows[i];
        }
    }
    return nullptr;
}

QString ParamIdForAddress(uint16_t address)
{
    if (holds(StDefs, address))
        return numberedId("St", address - 9);
    if (const ParamRow *row = FindParamRow(address))
        return QLatin1String(row->id);
    if (holds(JogDefs, address) || holds(AutoJogDefs, address))
        return numberedId("JOG", address - 999);
    return QString();
}

} // namespace velmora

namespace velmora {

QString RowUnit(const ParamRow &row)
{
    const QString name = QString::fromUtf8(row.name);
    const qsizetype open = name.lastIndexOf(QLatin1Char('['));
    const qsizetype close = name.lastIndexOf(QLatin1Char(']'));
    return open >= 0 && close > open ? name.mid(open + 1, close - open - 1).trimmed() : QString();
}

QString RangeText(const ParamRow &row, const TParamDef &def)
{
    const QString unit = RowUnit(row);
    QString text = QStringLiteral("%1 to %2")
                       .arg(FormatParamValue(def.MinValue, def.Decimals), FormatParamValue(def.MaxValue, def.Decimals));
    return unit.isEmpty() ? text : text + QLatin1Char(' ') + unit;
}

QString RowHelp(const ParamRow &row, const TParamDef &def)
{
    QStringList lines;
    lines << QStringLiteral("%1  %2").arg(QLatin1String(row.id), QString::fromUtf8(row.name).trimmed());
    lines << QStringLiteral("Range: %1").arg(RangeText(row, def));
    lines << (def.IsReal ? (def.Decimals < 0 ? QStringLiteral("Real, %1 decimal(s)").arg(-def.Decimals)
                                             : QStringLiteral("Real, whole values"))
                         : QStringLiteral("Whole number"));
    if (row.servoOffRequired)
        lines << QStringLiteral("Written only while the servo is off");
    if (!row.items.empty() && row.source != ValueSource::FixedText) {
        const bool byPosition = row.source != ValueSource::ListText;
        constexpr size_t kShown = 32;
        lines << (byPosition ? QStringLiteral("Items (number written = item):") : QStringLiteral("Items:"));
        for (size_t p = 0; p < row.items.size() && p < kShown; ++p) {
            const QString item = QString::fromUtf8(row.items[p]);
            if (!byPosition) {
                lines << QStringLiteral("  ") + item;
                continue;
            }
            const size_t number = row.source == ValueSource::MappedListPosition && p > 7 ? p + 1 : p;
            lines << QStringLiteral("  %1 = %2").arg(number).arg(item);
        }
        if (row.items.size() > kShown)
            lines << QStringLiteral("  ... %1 items in all").arg(row.items.size());
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace velmora
