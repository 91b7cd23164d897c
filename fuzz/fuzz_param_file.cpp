// The parameter file fed arbitrary bytes. The bytes are written to a file and read back the
// way the download window and the command line read one, then checked; a plan that comes
// out must be one the drive can take, every word from the line its register belongs to.
// The same bytes cut at line feeds are also checked without the file, so lines longer
// than the reader keeps and any character at all reach the checks.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/FrameCodec.h"
#include "params/ValueCodec.h"
#include "params/Catalogue.h"
#include "params/Download.h"
#include "params/ParamFile.h"

using namespace velmora;

namespace {

[[noreturn]] void violated(const char *what, int line)
{
    std::fprintf(stderr, "fuzz_param_file.cpp:%d: invariant violated: %s\n", line, what);
    std::abort();
}

#define EXPECT(cond) ((cond) ? void(0) : violated(#cond, __LINE__))

// Values per group, P1..P9, and so the lines per block after its marker.
constexpr std::array<int, 9> kGroupSizes{20, 33, 24, 14, 22, 9, 12, 10, 8};
constexpr int kLineCut = 256; // what the reader keeps of a line

// The file line holding value i of group g (1..9).
int lineOf(int g, int i)
{
    int line = 1;
    for (int k = 1; k < g; ++k)
        line += 1 + kGroupSizes[size_t(k - 1)];
    return line + i;
}

// One scratch file per process, rewritten for every input and removed at exit.
class ScratchFile {
public:
    ScratchFile()
        : path_(QDir::tempPath()
                + QStringLiteral("/velmora-fuzz-param-file-%1.vpf").arg(QCoreApplication::applicationPid()))
    {
    }
    ~ScratchFile() { QFile::remove(path_); }
    const QString &path() const { return path_; }
    void write(const uint8_t *data, size_t size) const
    {
        QFile f(path_);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || f.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size)) {
            std::fprintf(stderr, "can not write %s\n", qPrintable(path_));
            std::abort();
        }
    }

private:
    QString path_;
};

// What a reader of text lines sees in the bytes: lines end at a line feed; a last line
// without one counts when it holds anything.
std::vector<QByteArray> splitAtLineFeeds(const uint8_t *data, size_t size)
{
    std::vector<QByteArray> out;
    size_t start = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            out.emplace_back(reinterpret_cast<const char *>(data + start), qsizetype(i - start));
            start = i + 1;
        }
    }
    if (start < size)
        out.emplace_back(reinterpret_cast<const char *>(data + start), qsizetype(size - start));
    return out;
}

QString shown(const QByteArray &raw)
{
    QString s;
    for (char c : raw)
        s += (c >= 0x20 && c < 0x7F) ? QChar::fromLatin1(c) : QChar(QChar::ReplacementCharacter);
    return s;
}

void checkReadLines(const QStringList &lines, const uint8_t *data, size_t size)
{
    const std::vector<QByteArray> raw = splitAtLineFeeds(data, size);
    // A line's meaning follows from its position: none may be lost, merged or added.
    EXPECT(lines.size() == std::min<qsizetype>(kParamFileLines, qsizetype(raw.size())));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        EXPECT(line.size() <= kLineCut);
        for (QChar c : line)
            EXPECT((c.unicode() >= 0x20 && c.unicode() < 0x7F) || c == QChar(QChar::ReplacementCharacter));
        QByteArray content = raw[size_t(i)];
        while (content.endsWith('\r'))
            content.chop(1);
        if (content.size() <= kLineCut) {
            EXPECT(line == shown(content));
        } else {
            // Cut, but from its own beginning; carriage returns at the cut may go.
            EXPECT(line == shown(raw[size_t(i)].left(line.size())));
            if (raw[size_t(i)][kLineCut - 1] != '\r')
                EXPECT(line.size() == kLineCut);
        }
    }
}

bool samePlan(const DownloadPlan &a, const DownloadPlan &b)
{
    if (a.motorCode != b.motorCode || a.stationAfterP1 != b.stationAfterP1 || a.requests.size() != b.requests.size())
        return false;
    for (size_t r = 0; r < a.requests.size(); ++r) {
        const DownloadRequest &x = a.requests[r];
        const DownloadRequest &y = b.requests[r];
        if (x.function != y.function || x.startRegister != y.startRegister || x.group != y.group
            || x.endsGroup != y.endsGroup || x.words.size() != y.words.size())
            return false;
        for (size_t k = 0; k < x.words.size(); ++k) {
            if (x.words[k].high != y.words[k].high || x.words[k].low != y.words[k].low)
                return false;
        }
    }
    return true;
}

// The number a word carries for its record, checked against the record's bounds.
double wordValue(const TParamDef &def, const WriteWord &w)
{
    if (def.IsReal == 1) {
        const uint32_t bits = (uint32_t(w.high) << 16) | w.low;
        float f;
        std::memcpy(&f, &bits, sizeof f);
        EXPECT(std::isfinite(f));
        EXPECT(def.MinValue <= f && f <= def.MaxValue);
        return f;
    }
    EXPECT(w.high == 0);
    const double v = def.MinValue < 0 ? double(int16_t(w.low)) : double(w.low);
    EXPECT(def.MinValue <= v && v <= def.MaxValue);
    return v;
}

void checkPlan(const DownloadCheck &check, const QStringList &lines)
{
    if (!check.plan) {
        // A file that is refused is refused with a reason.
        EXPECT(!check.messages.isEmpty());
        return;
    }
    const DownloadPlan &plan = *check.plan;
    EXPECT(plan.motorCode >= 0 && plan.motorCode <= 99);
    EXPECT(plan.stationAfterP1 <= 31);

    struct Expected {
        uint8_t function;
        uint16_t start;
        int count;
        int group;
        bool endsGroup;
        int first; // index of the first value within its group
    };
    std::vector<Expected> expected;
    if (plan.motorCode == 0) {
        expected.push_back({16, 100, 20, 1, true, 0});
    } else {
        // The motor comes from the drive's list: P1-02..P1-09 are left to the drive.
        expected.push_back({16, 100, 1, 1, false, 0});
        expected.push_back({16, 109, 11, 1, true, 9});
    }
    for (int g = 2; g <= 9; ++g)
        expected.push_back({16, uint16_t(g * 100), kGroupSizes[size_t(g - 1)], g, true, 0});
    expected.push_back({6, 218, 1, 2, false, 18});
    expected.push_back({6, 232, 1, 2, false, 32});

    EXPECT(plan.requests.size() == expected.size());
    for (size_t r = 0; r < expected.size(); ++r) {
        const DownloadRequest &req = plan.requests[r];
        const Expected &e = expected[r];
        EXPECT(req.function == e.function);
        EXPECT(req.startRegister == e.start);
        EXPECT(req.group == e.group);
        EXPECT(req.endsGroup == e.endsGroup);
        EXPECT(int(req.words.size()) == e.count);
        const TParamDef *start = FindParamDef(req.startRegister);
        EXPECT(start != nullptr);
        EXPECT(start == &ParamGroups[size_t(e.group - 1)].defs[size_t(e.first)]);
        for (int k = 0; k < e.count; ++k) {
            // Consecutive registers, each word for the record of its register.
            const TParamDef *def = start + k;
            EXPECT(def->Address == req.startRegister + k);
            const double v = wordValue(*def, req.words[size_t(k)]);
            // The word carries the number written on the value's own line.
            double typed = 0;
            EXPECT(ParseTypedReal(lines.value(lineOf(e.group, e.first + k)), typed));
            if (def->IsReal == 1)
                EXPECT(float(v) == static_cast<float>(typed));
            else
                EXPECT(v == typed);
        }
    }
    EXPECT(plan.requests[0].words[0].low == plan.motorCode);
    // P1-18 is value 17 of P1, the last request of P1 holds it either way.
    const DownloadRequest &p1End = plan.requests[plan.motorCode == 0 ? 0 : 1];
    EXPECT(p1End.words[size_t(17 - (plan.motorCode == 0 ? 0 : 9))].low == plan.stationAfterP1);
    // The two single writes repeat what the P2 request wrote.
    const DownloadRequest &p2 = plan.requests[plan.motorCode == 0 ? 1 : 2];
    const DownloadRequest &again19 = plan.requests[expected.size() - 2];
    const DownloadRequest &again33 = plan.requests[expected.size() - 1];
    EXPECT(again19.words[0].high == p2.words[18].high && again19.words[0].low == p2.words[18].low);
    EXPECT(again33.words[0].high == p2.words[32].high && again33.words[0].low == p2.words[32].low);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const ScratchFile file;
    file.write(data, size);

    const std::optional<QStringList> read = ReadParamFileLines(file.path());
    EXPECT(read.has_value());
    checkReadLines(*read, data, size);

    // The window pads to 161 lines, the command line does not: missing lines count as
    // empty, so both must come to the same.
    QStringList padded = *read;
    while (padded.size() < kParamFileLines)
        padded << QString();
    const DownloadCheck check = CheckDownloadLines(padded);
    if (read->size() < kParamFileLines) {
        const DownloadCheck unpadded = CheckDownloadLines(*read);
        EXPECT(check.messages == unpadded.messages);
        EXPECT(check.plan.has_value() == unpadded.plan.has_value());
        if (check.plan)
            EXPECT(samePlan(*check.plan, *unpadded.plan));
    }
    checkPlan(check, padded);

    // The bytes as lines of any length and any character, each line feed ending a line
    // with the carriage return before it. Where that gives the lines the reader gave, the
    // check has been made already.
    QStringList rawLines = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size))
                               .split(QLatin1Char('\n'));
    for (QString &line : rawLines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    bool same = true;
    for (qsizetype i = 0; i < kParamFileLines && same; ++i)
        same = rawLines.value(i) == padded[i];
    if (!same)
        checkPlan(CheckDownloadLines(rawLines), rawLines);
    return 0;
}
