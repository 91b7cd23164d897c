// The typed-value converters fed arbitrary input. The input read as UTF-8 is the text a
// user types or a parameter file holds; it goes through the parsers and both encoders for
// every record, under several user locales. Its first bytes are also a register's four
// bytes for the decoders and a double for the display rule.
#include <QLocale>
#include <QString>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "link/FrameCodec.h"
#include "params/ValueCodec.h"
#include "params/Catalogue.h"
#include "params/DisplayRules.h"

using namespace velmora;

namespace {

[[noreturn]] void violated(const char *what, int line)
{
    std::fprintf(stderr, "fuzz_converters.cpp:%d: invariant violated: %s\n", line, what);
    std::abort();
}

#define EXPECT(cond) ((cond) ? void(0) : violated(#cond, __LINE__))

// Every record of the catalogue. The encoders see only a record's kind and bounds, so
// records alike in those are tried once; the display rule also sees the decimals.
struct Records {
    std::vector<TParamDef> bounds;  // one per distinct (IsReal, MinValue, MaxValue)
    std::vector<TParamDef> display; // one per distinct (IsReal, MinValue, MaxValue, Decimals)
};

bool sameBounds(const TParamDef &a, const TParamDef &b)
{
    return a.IsReal == b.IsReal && a.MinValue == b.MinValue && a.MaxValue == b.MaxValue;
}

const Records &records()
{
    static const Records r = [] {
        Records out;
        std::vector<std::span<const TParamDef>> blocks{StDefs, JogDefs, AutoJogDefs};
        for (const ParamGroup &g : ParamGroups)
            blocks.push_back(g.defs);
        for (const auto block : blocks) {
            for (const TParamDef &def : block) {
                bool seen = false;
                for (const TParamDef &d : out.bounds)
                    seen = seen || sameBounds(d, def);
                if (!seen)
                    out.bounds.push_back(def);
                seen = false;
                for (const TParamDef &d : out.display)
                    seen = seen || (sameBounds(d, def) && d.Decimals == def.Decimals);
                if (!seen)
                    out.display.push_back(def);
            }
        }
        return out;
    }();
    return r;
}

const std::vector<QLocale> &locales()
{
    // The system's own, one that writes a point and groups with a comma, two that write a
    // comma and group with a point or a narrow space, and one with digits of its own.
    static const std::vector<QLocale> l{
        QLocale::system(),
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::German, QLocale::Germany),
        QLocale(QLocale::French, QLocale::France),
        QLocale(QLocale::Arabic, QLocale::Egypt),
    };
    return l;
}

float floatOf(const WriteWord &w)
{
    return Change_HEX2Float(uint8_t(w.high >> 8), uint8_t(w.high), uint8_t(w.low >> 8), uint8_t(w.low));
}

// The single a typed real goes out as: one with no high word would read back as a whole
// number, so it goes out as 0.
float writtenSingle(double real)
{
    const float f = static_cast<float>(real);
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits < 0x10000u ? 0.0f : f;
}

// A whole register's low word as the record reads it: two's complement when the record
// admits negative values.
double wholeOf(const TParamDef &def, const WriteWord &w)
{
    return def.MinValue < 0 ? double(int16_t(w.low)) : double(w.low);
}

bool inBounds(const TParamDef &def, double v)
{
    return def.MinValue <= v && v <= def.MaxValue;
}

// The display text of value rounded to 10^decimals.
void checkDisplayText(const QString &text, double value, int decimals)
{
    EXPECT(!text.contains(QLatin1Char('e')) && !text.contains(QLatin1Char('E')));
    EXPECT(!text.contains(QLatin1Char(',')));
    if (std::isnan(value)) {
        EXPECT(text == QLatin1String("NAN"));
        return;
    }
    if (std::isinf(value)) {
        EXPECT(text == QLatin1String(value < 0 ? "-INF" : "INF"));
        return;
    }
    bool ok = false;
    const double back = text.toDouble(&ok);
    if (!ok) {
        // Only a value whose 15 digits round past the largest double may not read back.
        EXPECT(std::fabs(value) >= 1.797693134862315e308);
        return;
    }
    // Half a step of the rounding, plus what 15 significant digits can lose.
    const double step = std::pow(10.0, decimals);
    EXPECT(std::fabs(back - value) <= 0.5 * step * (1 + 1e-9) + std::fabs(value) * 1e-14);
    // Shortest form: no trailing zeros after a point, no bare point, never "-0".
    if (text.contains(QLatin1Char('.')))
        EXPECT(!text.endsWith(QLatin1Char('0')) && !text.endsWith(QLatin1Char('.')));
    if (back == 0)
        EXPECT(!text.startsWith(QLatin1Char('-')));
}

void checkNearestWhole(double value)
{
    const int n = NearestWhole(value);
    constexpr int lo = std::numeric_limits<int>::min();
    constexpr int hi = std::numeric_limits<int>::max();
    if (std::isnan(value)) {
        EXPECT(n == -1);
    } else if (value >= double(hi)) {
        EXPECT(n == hi);
    } else if (value <= double(lo)) {
        EXPECT(n == lo);
    } else {
        const double off = std::fabs(double(n) - value);
        EXPECT(off <= 0.5);
        if (off == 0.5 && n != lo && n != hi)
            EXPECT(n % 2 == 0); // halves to even
    }
}

// The text under the default locale of the moment. The display rule does not depend on
// the locale, so it is checked under the first only; a text no parser takes is tried
// against every record there too.
void checkText(const QString &text, bool firstLocale)
{
    double real = 0;
    const bool realOk = ParseTypedReal(text, real);
    if (realOk) {
        EXPECT(std::isfinite(real));
        if (firstLocale) {
            checkNearestWhole(real);
            for (int d = 0; d >= -3; --d)
                checkDisplayText(FormatParamValue(real, d), real, d);
        }
    }
    int32_t whole = 0;
    const bool wholeOk = ParseTypedWhole(text, whole);
    // A whole value is range-checked as a real and encoded as a whole: the two readings
    // of one text must agree.
    if (wholeOk && realOk)
        EXPECT(real == double(whole));
    if (!firstLocale && !realOk && !wholeOk)
        return;

    for (const TParamDef &def : records().bounds) {
        WriteWord w{0xA5A5, 0x5A5A};
        if (Change_Float2HEX(text, def, w)) {
            const float f = floatOf(w);
            EXPECT(std::isfinite(f));
            EXPECT(inBounds(def, f));
            EXPECT(realOk && f == writtenSingle(real));
            // Read back as a reply is decoded, a real record's value is the value written.
            if (def.IsReal == 1)
                EXPECT(DecodeRegisterValue(uint8_t(w.high >> 8), uint8_t(w.high), uint8_t(w.low >> 8), uint8_t(w.low))
                       == f);
        } else {
            EXPECT(w.high == 0xA5A5 && w.low == 0x5A5A); // untouched on refusal
        }
        w = WriteWord{0xA5A5, 0x5A5A};
        if (Change_Int2HEX(text, def, w)) {
            EXPECT(w.high == 0);
            const double v = wholeOf(def, w);
            EXPECT(inBounds(def, v));
            EXPECT(wholeOk && v == double(whole));
            if (def.IsReal == 0)
                EXPECT(WholeValueOf(def, DecodeRegisterValue(0, 0, uint8_t(w.low >> 8), uint8_t(w.low))) == v);
        } else {
            EXPECT(w.high == 0xA5A5 && w.low == 0x5A5A);
        }
    }
}

// A register as it arrives, shown for every record. The texts do not depend on the locale:
// they are made once, under the first, and only the first record's is made again under the
// others to see that it stays the same.
struct Shown {
    double decoded = 0;
    bool wholeForm = false; // no high word
    std::vector<double> values; // per display record
    std::vector<QString> texts;
};

Shown showRegister(const uint8_t b[4])
{
    Shown shown;
    shown.decoded = DecodeRegisterValue(b[0], b[1], b[2], b[3]);
    shown.wholeForm = b[0] == 0 && b[1] == 0;
    if (shown.wholeForm)
        EXPECT(shown.decoded >= 0 && shown.decoded <= 65535 && shown.decoded == std::floor(shown.decoded));
    checkNearestWhole(shown.decoded);

    for (const TParamDef &def : records().display) {
        shown.values.push_back(WholeValueOf(def, shown.decoded));
        shown.texts.push_back(FormatRecordValue(def, shown.decoded));
        checkDisplayText(shown.texts.back(), shown.values.back(), def.Decimals);
    }
    return shown;
}

// A value inside a record's bounds, shown and typed back (a backup restored), is taken under
// every locale and lands within the display rounding.
void checkTypedBack(const uint8_t b[4], const Shown &shown, bool firstLocale)
{
    if (!firstLocale)
        EXPECT(FormatRecordValue(records().display.front(), shown.decoded) == shown.texts.front());
    for (size_t i = 0; i < shown.values.size(); ++i) {
        const TParamDef &def = records().display[i];
        const double value = shown.values[i];
        // A whole register always comes in its low word; a single small enough to have
        // no high word reads as a whole number, there is nothing to compare then.
        if (def.IsReal == 0 ? !shown.wholeForm : (shown.wholeForm && (b[2] | b[3]) != 0))
            continue;
        if (!std::isfinite(value) || !InRange(def, static_cast<float>(value)))
            continue;
        WriteWord w{};
        const QString &text = shown.texts[i];
        const bool taken = def.IsReal == 1 ? Change_Float2HEX(text, def, w) : Change_Int2HEX(text, def, w);
        EXPECT(taken);
        const double back = def.IsReal == 1 ? double(floatOf(w)) : wholeOf(def, w);
        const double step = std::pow(10.0, def.Decimals);
        EXPECT(std::fabs(back - value) <= 0.5 * step + std::fabs(value) * 1e-6);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    std::array<uint8_t, 8> raw{};
    std::memcpy(raw.data(), data, std::min(size, raw.size()));

    bool first = true;
    Shown shown;
    for (const QLocale &locale : locales()) {
        QLocale::setDefault(locale);
        if (first)
            shown = showRegister(raw.data());
        checkText(text, first);
        checkTypedBack(raw.data(), shown, first);
        first = false;
    }
    QLocale::setDefault(locales().front());

    double d;
    std::memcpy(&d, raw.data(), sizeof d);
    checkNearestWhole(d);
    for (int dec = 0; dec >= -3; --dec)
        checkDisplayText(FormatParamValue(d, dec), d, dec);
    const float f = Change_HEX2Float(raw[0], raw[1], raw[2], raw[3]);
    for (int dec = 0; dec >= -3; --dec)
        checkDisplayText(FormatParamValue(f, dec), f, dec);
    return 0;
}
