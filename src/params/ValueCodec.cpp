#include "params/ValueCodec.h"

#include <QLocale>

#include <cmath>
#include <cstring>

namespace velmora {

namespace {

uint32_t floatBits(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

} // namespace

bool ParseTypedReal(const QString &text, double &value)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    // The user's own separator first, then a point; group separators are never accepted,
    // so "1.500" can not become 1500 under a locale that groups with a point.
    QLocale user;
    user.setNumberOptions(QLocale::RejectGroupSeparator);
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double v = user.toDouble(t, &ok);
    if (!ok)
        v = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool ParseTypedWhole(const QString &text, int32_t &value)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (!ok)
        return false;
    value = v;
    return true;
}

bool Change_Float2HEX(const QString &text, const TParamDef &def, WriteWord &entry)
{
    double parsed;
    if (!ParseTypedReal(text, parsed))
        return false;
    const float v = static_cast<float>(parsed);
    if (!std::isfinite(v) || !InRange(def, v))
        return false;
    uint32_t bits = floatBits(v);
    // A positive single below 2^-133 has no high word, and a register without one is read
    // back as a whole number: 1e-42 would come back as 714. It goes out as the 0 it shows.
    if (bits < 0x10000u)
        bits = 0;
    entry.high = static_cast<uint16_t>(bits >> 16);
    entry.low = static_cast<uint16_t>(bits & 0xFFFF);
    return true;
}

bool Change_Int2HEX(const QString &text, const TParamDef &def, WriteWord &entry)
{
    int32_t v;
    if (!ParseTypedWhole(text, v))
        return false;
    if (!InRange(def, static_cast<float>(v)))
        return false;
    // A whole register carries 16 bits: anything that does not fit would arrive truncated.
    if (v > 0xFFFF || v < -0x8000)
        return false;
    entry.high = 0;
    entry.low = static_cast<uint16_t>(v & 0xFFFF);
    return true;
}

bool EncodeTypedValue(const QString &text, const TParamDef &def, WriteWord &entry)
{
    return def.IsReal == 1 ? Change_Float2HEX(text, def, entry) : Change_Int2HEX(text, def, entry);
}

bool ConvertsFor(const TParamDef &def, const QString &text)
{
    WriteWord scratch{};
    return EncodeTypedValue(text, def, scratch);
}

} // namespace velmora
