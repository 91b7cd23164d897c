#include "cli/Cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QVariant>

#include <cstdio>
#include <memory>

#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/ComPort.h"
#include "link/DriveSession.h"
#include "link/MessageService.h"
#include "link/Receiver.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/Catalogue.h"
#include "params/Compare.h"
#include "params/CsvText.h"
#include "params/DriveScan.h"
#include "params/DisplayRules.h"
#include "params/ParamTransactions.h"
#include "params/ValueCodec.h"
#include "params/Download.h"
#include "params/PageReader.h"
#include "params/ParamFile.h"

namespace velmora {

namespace {

// Exit codes, one meaning each across the commands (the table is in --help and the manual).
constexpr int kExitOk = 0;
// The command's own negative answer: the drive refused (read, write, status, backup,
// restore), parameters differ (diff), nothing answered (scan), a station not saved (backup-all).
constexpr int kExitNegative = 1;
constexpr int kExitUsage = 2;
constexpr int kExitLink = 3; // no reply, a corrupted reply, the link lost
constexpr int kExitFile = 4; // a parameter file or directory that can not be read, used or written
constexpr int kExitPort = 5; // the serial port could not be opened
constexpr int kMaxReadCount = 48; // a reply of 48 registers still fits 200 bytes

void say(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
}

void complain(const QString &line)
{
    std::fprintf(stderr, "velmora-cli: %s\n", line.toUtf8().constData());
}

int fail(const QString &line, int code)
{
    complain(line);
    return code;
}

bool parseNumber(const QString &text, long lo, long hi, long &out)
{
    bool ok = false;
    const long v = text.toLong(&ok, 10);
    if (!ok || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

QString outcomeProblem(ReplyOutcome o, uint8_t station)
{
    switch (o) {
    case ReplyOutcome::Good: return {};
    case ReplyOutcome::Rejected: return QStringLiteral("the drive refused the request");
    case ReplyOutcome::Bad: return QStringLiteral("the reply from station %1 was corrupted").arg(station);
    case ReplyOutcome::NoReply: return QStringLiteral("no reply from station %1").arg(station);
    case ReplyOutcome::LinkDown: return QStringLiteral("the serial port went away");
    }
    return {};
}

// A refusal is the drive's answer; anything else that is not good is the line failing.
int outcomeCode(ReplyOutcome o)
{
    switch (o) {
    case ReplyOutcome::Good: return kExitOk;
    case ReplyOutcome::Rejected: return kExitNegative;
    case ReplyOutcome::Bad:
    case ReplyOutcome::NoReply:
    case ReplyOutcome::LinkDown: return kExitLink;
    }
    return kExitLink;
}

int failOutcome(ReplyOutcome o, uint8_t station)
{
    return fail(outcomeProblem(o, station), outcomeCode(o));
}

// Why a step failed and the exit code that gives; empty when it did not.
struct Problem {
    QString why;
    int code = kExitOk;
    explicit operator bool() const { return !why.isEmpty(); }
};

enum class Format { Text, Csv, Json };

// The rows a command prints on standard output, in the format asked for:
//   text  the cells tab-separated, one row a line (what the commands have always printed);
//   csv   a header line of the keys, then one row a line, fields quoted where needed;
//   json  one compact object a line (JSON Lines), the keys as given, numbers as numbers.
// Only the rows go to standard output; summaries and errors go to standard error.
class RowWriter {
public:
    RowWriter(Format format, QStringList keys) : format_(format), keys_(std::move(keys)) {}

    void row(const QVariantList &cells)
    {
        start();
        QByteArray out;
        if (format_ == Format::Json) {
            QJsonObject object;
            for (qsizetype i = 0; i < keys_.size(); ++i)
                object.insert(keys_[i], QJsonValue::fromVariant(cells.value(i)));
            out = QJsonDocument(object).toJson(QJsonDocument::Compact);
        } else {
            for (qsizetype i = 0; i < cells.size(); ++i) {
                if (i > 0)
                    out += format_ == Format::Csv ? ',' : '\t';
                const QString text = cells[i].toString();
                out += format_ == Format::Csv ? CsvField(text) : text.toUtf8();
            }
        }
        write(out);
    }
    // Every row has been given: a CSV result without rows still gets its header.
    void finish() { start(); }

private:
    void start()
    {
        if (started_)
            return;
        started_ = true;
        if (format_ == Format::Csv)
            write(keys_.join(QLatin1Char(',')).toUtf8());
    }
    static void write(const QByteArray &line)
    {
        std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        std::fputc('\n', stdout);
    }

    Format format_;
    QStringList keys_;
    bool started_ = false;
};

QVariantList registerRow(uint16_t reg, const QString &value)
{
    return {ParamIdForAddress(reg), int(reg), value};
}

QString ioText(const IoBits &bits)
{
    QString in, out;
    for (int i = 11; i >= 0; --i)
        in += QChar(bits.in[size_t(i)] ? '1' : '0');
    for (int i = 9; i >= 0; --i)
        out += QChar(bits.out[size_t(i)] ? '1' : '0');
    return QStringLiteral("inputs %1 outputs %2").arg(in, out);
}

int doRead(DriveSession &s, const QStringList &args, Format format)
{
    long reg = 0, count = 0;
    if (args.size() != 3)
        return fail(QStringLiteral("usage: read REG COUNT"), kExitUsage);
    if (!parseNumber(args[1], 0, 65535, reg))
        return fail(QStringLiteral("bad register: %1").arg(args[1]), kExitUsage);
    if (!parseNumber(args[2], 1, kMaxReadCount, count))
        return fail(QStringLiteral("bad count: %1 (1 to %2)").arg(args[2]).arg(kMaxReadCount), kExitUsage);
    for (long r = reg; r < reg + count; ++r)
        if (r > 65535 || !FindParamDef(static_cast<uint16_t>(r)))
            return fail(QStringLiteral("unknown register: %1").arg(r), kExitUsage);

    const ExchangeResult o = ReadRegisters(s, static_cast<uint16_t>(reg), static_cast<uint16_t>(count));
    if (!o.good())
        return failOutcome(o.outcome, s.station());
    RowWriter out(format, {QStringLiteral("id"), QStringLiteral("register"), QStringLiteral("value")});
    if (reg == kIoStatusRegister && count == 1) {
        out.row(registerRow(kIoStatusRegister, ioText(o.ioBits())));
        return kExitOk;
    }
    for (long i = 0; i < count; ++i) {
        const auto r = static_cast<uint16_t>(reg + i);
        out.row(registerRow(r, FormatRecordValue(*FindParamDef(r), o.value(int(i) + 1))));
    }
    return kExitOk;
}

int doWrite(DriveSession &s, const QStringList &args)
{
    long reg = 0;
    if (args.size() != 3)
        return fail(QStringLiteral("usage: write REG VALUE"), kExitUsage);
    if (!parseNumber(args[1], 0, 65535, reg) || !FindParamDef(static_cast<uint16_t>(reg)))
        return fail(QStringLiteral("unknown register: %1").arg(args[1]), kExitUsage);
    const auto address = static_cast<uint16_t>(reg);
    const TParamDef &def = *FindParamDef(address);
    if (address < P1Defs[0].Address)
        return fail(QStringLiteral("register %1 is a status value and can not be written").arg(reg), kExitUsage);

    const ParamRow *row = FindParamRow(address);
    const bool guard = row && row->servoOffRequired;
    QString shown;
    std::function<void()> stationChange;
    if (row && row->followUp == FollowUp::StationChange) {
        stationChange = [&s, &args] {
            long station = 0;
            if (parseNumber(args[2], 0, 255, station))
                s.setStation(static_cast<uint8_t>(station));
        };
    }
    const ValueWriteResult r = ValueWrite(s, def, args[2], guard, [&shown](const QString &t) { shown = t; },
                                          stationChange);
    // The session has said why it wrote nothing.
    if (r.status == ValueWriteResult::GuardUnanswered)
        return kExitLink;
    if (r.status != ValueWriteResult::Written)
        return kExitNegative;
    if (r.write != ReplyOutcome::Good)
        return failOutcome(r.write, s.station());
    if (r.readBack != ReplyOutcome::Good)
        return failOutcome(r.readBack, s.station());
    RowWriter(Format::Text, {}).row(registerRow(address, shown));
    return kExitOk;
}

int doStatus(DriveSession &s, Format format)
{
    const ExchangeResult o = ReadRegisters(s, StDefs[0].Address, static_cast<uint16_t>(StDefs.size()));
    if (!o.good())
        return failOutcome(o.outcome, s.station());
    std::array<QString, StDefs.size()> texts;
    for (size_t i = 0; i < StDefs.size(); ++i)
        texts[i] = FormatRecordValue(StDefs[i], o.value(int(i) + 1));
    const ExchangeResult io = ReadRegisters(s, kIoStatusRegister, 1);
    if (!io.good())
        return failOutcome(io.outcome, s.station());
    RowWriter out(format, {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("value")});
    for (size_t i = 0; i < StDefs.size(); ++i) {
        const bool isIo = StDefs[i].Address == kIoStatusRegister;
        out.row({ParamIdForAddress(StDefs[i].Address), QString::fromUtf8(StatusItemNames[i]),
                 isIo ? ioText(io.ioBits()) : texts[i]});
    }
    return kExitOk;
}

// Every group into a parameter file, as "Read(PC<-SERVO)" does; but a group that gets
// no good reply fails the backup instead of being saved from stale values.
Problem backupInto(DriveSession &s, const QString &path)
{
    ParamTexts texts;
    for (int g = 1; g <= 9; ++g) {
        const ReplyOutcome o = TThread_Pg_READ(s, texts, g).run();
        if (o != ReplyOutcome::Good)
            return {QStringLiteral("P%1: %2; nothing saved").arg(g).arg(outcomeProblem(o, s.station())), outcomeCode(o)};
        if (g == 1)
            ApplyMotorDefaults(texts.P(1));
    }
    QString error;
    if (!SaveParamFile(path, BuildParamFileLines(texts.texts), &error))
        return {QStringLiteral("%1 (%2: %3)").arg(QString::fromLatin1(texts::FileSaveFail), path, error), kExitFile};
    return {};
}

int doBackup(DriveSession &s, const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: backup FILE"), kExitUsage);
    if (const Problem p = backupInto(s, args[1]))
        return fail(p.why, p.code);
    say(QStringLiteral("saved %1 lines to %2").arg(kParamFileLines).arg(args[1]));
    return kExitOk;
}

// The parameters whose drive value differs from the file's, one row each. The file is
// checked before anything is sent; then any failure to read the drive, a refusal too, is a
// failure of the line: 1 is kept for "they differ".
int doDiff(DriveSession &s, const QStringList &args, Format format)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: diff FILE"), kExitUsage);
    const std::optional<QStringList> lines = ReadParamFileLines(args[1]);
    if (!lines)
        return fail(QStringLiteral("can not open %1").arg(args[1]), kExitFile);
    QString error;
    if (!ParamFileGroups(*lines, &error))
        return fail(QStringLiteral("%1: %2").arg(args[1], error), kExitFile);
    const DriveComparison c = CompareWithDrive(s, *lines);
    if (!c.ok())
        return fail(QStringLiteral("%1: %2").arg(args[1], c.error), kExitLink);
    RowWriter out(format, {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("file"), QStringLiteral("drive"),
                           QStringLiteral("unit")});
    for (const ParamDifference &d : c.differences())
        out.row({d.id, d.name, d.fileText, d.driveText, d.unit});
    out.finish();
    std::fprintf(stderr, "%d of %d parameters differ\n", c.differing, int(c.rows.size()));
    return c.differing == 0 ? kExitOk : kExitNegative;
}

struct ScanRequest {
    PortSettings port;
    QString portText; // what the user gave as --port, or "simulated"
    QList<qint32> bauds;
    int from = 1, to = 31;
    bool all = false;
};

ScanResult runScan(DriveSession &s, const ScanRequest &request)
{
    ScanOptions options;
    options.port = request.port;
    options.bauds = request.bauds;
    options.firstStation = request.from;
    options.lastStation = request.to;
    options.all = request.all;
    return DriveScanner(s).run(options);
}

// A scan stops with an error when the port can not be opened at a rate (or again
// afterwards); a port that goes away meanwhile is a lost link, which RunCli sees.
int doScan(DriveSession &s, const QStringList &args, const ScanRequest &request, Format format)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: scan [--all] [--from N] [--to N]"), kExitUsage);
    const ScanResult r = runScan(s, request);
    RowWriter out(format, {QStringLiteral("port"), QStringLiteral("baud"), QStringLiteral("station"),
                           QStringLiteral("version")});
    for (const ScanHit &hit : r.hits)
        out.row({request.portText, int(hit.baud), int(hit.station), hit.versionText});
    if (!r.ok())
        return fail(r.error, kExitPort);
    out.finish();
    std::fprintf(stderr, "%d of %d probes answered\n", int(r.hits.size()), r.tried);
    return r.hits.empty() ? kExitNegative : kExitOk;
}

// "station-07-v1.04.vpf": only digits and points from the version, whatever the drive sent.
QString backupFileName(const ScanHit &hit)
{
    QString version;
    for (const QChar c : hit.versionText)
        version += (c.isDigit() || c == QLatin1Char('.')) ? c : QLatin1Char('_');
    if (version.isEmpty())
        version = QStringLiteral("unknown");
    return QStringLiteral("station-%1-v%2.vpf").arg(hit.station, 2, 10, QLatin1Char('0')).arg(version);
}

// Every station that answers at the baud rate, each into its own file in the directory.
// A station not saved, whatever the reason, is this command's negative answer.
int doBackupAll(DriveSession &s, const QStringList &args, const ScanRequest &request)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: backup-all DIR"), kExitUsage);
    const QDir dir(args[1]);
    if (!dir.exists() && !QDir().mkpath(args[1]))
        return fail(QStringLiteral("can not create the directory %1").arg(args[1]), kExitFile);
    ScanRequest all = request;
    all.all = true;
    const ScanResult r = runScan(s, all);
    if (!r.ok())
        return fail(r.error, kExitPort);
    if (r.hits.empty())
        return fail(QStringLiteral("no station from %1 to %2 answered at %3 baud; nothing saved")
                        .arg(request.from).arg(request.to).arg(request.bauds.value(0)),
                    kExitNegative);
    int failed = 0;
    for (const ScanHit &hit : r.hits) {
        s.setStation(hit.station);
        const QString path = dir.filePath(backupFileName(hit));
        const Problem p = backupInto(s, path);
        if (p)
            ++failed;
        say(QStringLiteral("%1\t%2").arg(path, p ? QStringLiteral("failed: ") + p.why : QStringLiteral("saved")));
    }
    return failed == 0 ? kExitOk : kExitNegative;
}

// Why a download that did not complete failed: the line (a lost link, a write without a
// good reply, a group that could not be read back) or the drive (it refused, or holds
// other values than it was sent).
int downloadFailureCode(const DownloadResult &result)
{
    if (result.linkFailed)
        return kExitLink;
    for (const ReplyOutcome o : result.outcomes)
        if (outcomeCode(o) == kExitLink)
            return kExitLink;
    for (const DownloadMismatch &m : result.mismatches)
        if (m.unanswered)
            return kExitLink;
    return kExitNegative;
}

// A parameter file into the drive, with the checks and requests of "Write(PC->SERVO)".
// The file is checked before anything goes to the drive.
int doRestore(DriveSession &s, const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: restore FILE"), kExitUsage);
    const std::optional<QStringList> lines = ReadParamFileLines(args[1]);
    if (!lines)
        return fail(QStringLiteral("can not open %1").arg(args[1]), kExitFile);
    const DownloadCheck check = CheckDownloadLines(*lines);
    if (!check.plan) {
        QString said = QStringLiteral("%1; nothing written").arg(check.messages.join(QStringLiteral("; ")));
        const QStringList details = check.details.filter(QRegularExpression(QStringLiteral(".")));
        if (!details.isEmpty())
            said += QLatin1Char(' ') + details.join(QLatin1Char(' '));
        return fail(said, kExitFile);
    }
    TThread_CHK_SOVOEN guard(s);
    guard.run();
    if (!guard.known())
        return fail(QString::fromLatin1(texts::GuardUnanswered), kExitLink);
    if (s.link.servoOnFlag == 1)
        return fail(QStringLiteral("%1; nothing written").arg(QString::fromLatin1(texts::SeovoOn)), kExitNegative);
    const DownloadResult result = RunDownload(s, *check.plan);
    QStringList problems;
    for (size_t i = 0; i < result.outcomes.size(); ++i) {
        if (result.outcomes[i] == ReplyOutcome::Good)
            continue;
        const DownloadRequest &r = check.plan->requests[i];
        problems << QStringLiteral("register %1: %2").arg(r.startRegister).arg(outcomeProblem(result.outcomes[i], s.station()));
    }
    if (result.linkFailed)
        problems << QStringLiteral("link lost after %1 of %2 requests").arg(result.outcomes.size()).arg(check.plan->requests.size());
    for (const DownloadMismatch &m : result.mismatches)
        problems << QStringLiteral("%1: file %2, drive %3").arg(m.id, m.file, m.drive);
    if (!result.complete)
        return fail(QStringLiteral("%1 %2").arg(QString::fromLatin1(texts::DownLoadFailed), problems.join(QStringLiteral("; "))),
                    downloadFailureCode(result));
    if (!problems.isEmpty())
        complain(QStringLiteral("warning: %1").arg(problems.join(QStringLiteral("; "))));
    say(QStringLiteral("%1 %2 requests, station now %3")
            .arg(QString::fromLatin1(texts::DownLoadComplete))
            .arg(result.outcomes.size())
            .arg(s.station()));
    return kExitOk;
}

} // namespace

int RunCli(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads and writes a VD-840 drive's registers.\n\n"
        "Commands:\n"
        "  read REG COUNT    read COUNT registers from REG and print their values\n"
        "  write REG VALUE   write one parameter (range test, servo-on guard, read-back)\n"
        "  status            print the status items St-01 to St-18\n"
        "  backup FILE       read every parameter into a parameter file (.vpf)\n"
        "  restore FILE      check a parameter file and write it into the drive\n"
        "  diff FILE         print the parameters whose drive value differs from the file:\n"
        "                    id, name, file value, drive value, unit\n"
        "  scan              find the drive: print port, baud, station and program version of\n"
        "                    the first station that answers (--all: every one). Tries every\n"
        "                    baud rate, 9600 first, unless --baud is given; stations --from to\n"
        "                    --to (default 1 to 31). Only reads, never writes.\n"
        "  backup-all DIR    back up every station that answers at --baud (default 9600) into\n"
        "                    DIR/station-NN-vX.YY.vpf, one line per station\n\n"
        "Output of read, status, diff and scan (--format), one row a line on standard output;\n"
        "summaries and errors go to standard error:\n"
        "  text  tab-separated fields, no header (the default)\n"
        "  csv   a header line of the field names, then the rows; fields quoted where a comma,\n"
        "        quote or line end needs it; '.' as decimal point\n"
        "  json  JSON Lines: one compact JSON object a line, no enclosing array\n"
        "Fields (text and csv in this order; the json keys):\n"
        "  read    id, register, value          diff  id, name, file, drive, unit\n"
        "  status  id, name, value              scan  port, baud, station, version\n"
        "register, baud and station are numbers; every other field is text, the values as\n"
        "displayed (e.g. \"45.5\").\n\n"
        "Exit codes:\n"
        "  0  done\n"
        "  1  the command's negative answer: the drive refused (read, write, status, backup,\n"
        "     restore), parameters differ (diff), nothing answered (scan), a station not\n"
        "     saved (backup-all)\n"
        "  2  usage error: unknown command or option, bad argument\n"
        "  3  communication failure: no reply, a corrupted reply, the link lost (diff: a\n"
        "     refused read too)\n"
        "  4  file error: a parameter file that can not be read, is not a valid parameter\n"
        "     file or can not be written; a directory that can not be created\n"
        "  5  the serial port could not be opened\n\n"
        "Without --port the built-in simulated drive answers."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("Serial device (any path, e.g. a pseudo-terminal)."), QStringLiteral("DEVICE"));
    const QCommandLineOption simOpt(QStringLiteral("simulate"), QStringLiteral("Talk to the built-in simulated drive."));
    const QCommandLineOption baudOpt(QStringLiteral("baud"), QStringLiteral("Baud rate (1200 to 57600, default 9600)."), QStringLiteral("N"), QStringLiteral("9600"));
    const QCommandLineOption stationOpt(QStringLiteral("station"), QStringLiteral("Station number of the drive (default 1)."), QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption allOpt(QStringLiteral("all"), QStringLiteral("scan: every station that answers, not just the first."));
    const QCommandLineOption fromOpt(QStringLiteral("from"), QStringLiteral("scan, backup-all: first station number (1 to 255, default 1)."), QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption toOpt(QStringLiteral("to"), QStringLiteral("scan, backup-all: last station number (1 to 255, default 31)."), QStringLiteral("N"), QStringLiteral("31"));
    const QCommandLineOption formatOpt(QStringLiteral("format"), QStringLiteral("read, status, diff, scan: output as text (default), csv or json."), QStringLiteral("FORMAT"), QStringLiteral("text"));
    parser.addOptions({portOpt, simOpt, baudOpt, stationOpt, allOpt, fromOpt, toOpt, formatOpt});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("read, write, status, backup, restore, diff, scan or backup-all"));
    if (!parser.parse(arguments))
        return fail(parser.errorText(), kExitUsage);
    if (parser.isSet(QStringLiteral("help"))) {
        std::fprintf(stdout, "%s", parser.helpText().toUtf8().constData());
        return kExitOk;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::fprintf(stdout, "velmora-cli %s\n", VELMORA_VERSION);
        return kExitOk;
    }

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return fail(QStringLiteral("no command given (read, write, status, backup, restore, diff, scan or backup-all; --help says more)"), kExitUsage);
    const QString command = args[0];
    static const QStringList commands{QStringLiteral("read"), QStringLiteral("write"), QStringLiteral("status"),
                                      QStringLiteral("backup"), QStringLiteral("restore"), QStringLiteral("diff"),
                                      QStringLiteral("scan"), QStringLiteral("backup-all")};
    if (!commands.contains(command))
        return fail(QStringLiteral("unknown command: %1").arg(command), kExitUsage);
    if (parser.isSet(portOpt) && parser.isSet(simOpt))
        return fail(QStringLiteral("--port and --simulate exclude each other"), kExitUsage);

    static const QMap<QString, Format> formats{
        {QStringLiteral("text"), Format::Text}, {QStringLiteral("csv"), Format::Csv}, {QStringLiteral("json"), Format::Json}};
    const QString formatName = parser.value(formatOpt);
    if (!formats.contains(formatName))
        return fail(QStringLiteral("bad format: %1 (text, csv or json)").arg(formatName), kExitUsage);
    static const QStringList formatCommands{QStringLiteral("read"), QStringLiteral("status"), QStringLiteral("diff"),
                                            QStringLiteral("scan")};
    if (parser.isSet(formatOpt) && !formatCommands.contains(command))
        return fail(QStringLiteral("--format applies to read, status, diff and scan, not to %1").arg(command), kExitUsage);
    const Format format = formats.value(formatName);

    long baud = 0, station = 0;
    static const QList<long> bauds{1200, 2400, 4800, 9600, 19200, 38400, 57600};
    if (!parseNumber(parser.value(baudOpt), 1, 1000000, baud) || !bauds.contains(baud))
        return fail(QStringLiteral("bad baud rate: %1 (1200, 2400, 4800, 9600, 19200, 38400 or 57600)").arg(parser.value(baudOpt)), kExitUsage);
    if (!parseNumber(parser.value(stationOpt), 0, 255, station))
        return fail(QStringLiteral("bad station number: %1 (0 to 255)").arg(parser.value(stationOpt)), kExitUsage);
    long from = 1, to = 31;
    if (!parseNumber(parser.value(fromOpt), 1, 255, from) || !parseNumber(parser.value(toOpt), 1, 255, to) || from > to)
        return fail(QStringLiteral("bad station range: --from %1 --to %2 (1 to 255, from not above to)")
                        .arg(parser.value(fromOpt), parser.value(toOpt)), kExitUsage);

    ComPort port;
    auto drive = std::make_shared<SimDrive>(static_cast<uint8_t>(station));
    port.setSimulatedFactory([drive] { return std::make_unique<SimulatedPort>(drive); });
    PortSettings settings;
    settings.Baud = static_cast<qint32>(baud);
    settings.device = parser.value(portOpt);
    settings.simulate = !parser.isSet(portOpt);
    port.applySettings(settings);
    if (!port.open())
        return fail(QStringLiteral("%1: %2").arg(QString::fromLatin1(texts::ComportOpenError), port.errorString()), kExitPort);

    ConsoleMessageService messages;
    DriveSession session(&port, &messages);
    session.setStation(static_cast<uint8_t>(station));
    TThread_Receive receiver(session);
    QObject::connect(&port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);
    bool lost = false;
    QObject::connect(&port, &DrivePort::deviceLost, [&](const QString &why) {
        lost = true;
        fail(why, kExitLink);
        port.close();
    });
    session.setOffLineAction([&port] { port.close(); });

    ScanRequest scan;
    scan.port = settings;
    scan.portText = settings.simulate ? QStringLiteral("simulated") : settings.device;
    // scan tries every rate unless one is given; backup-all works at one rate, default 9600.
    scan.bauds = parser.isSet(baudOpt) || command == QLatin1String("backup-all") ? QList<qint32>{qint32(baud)}
                                                                                  : ScanBaudRates();
    scan.from = int(from);
    scan.to = int(to);
    scan.all = parser.isSet(allOpt);

    int code = kExitUsage;
    if (command == QLatin1String("diff"))
        code = doDiff(session, args, format);
    else if (command == QLatin1String("scan"))
        code = doScan(session, args, scan, format);
    else if (command == QLatin1String("backup-all"))
        code = doBackupAll(session, args, scan);
    else if (command == QLatin1String("read"))
        code = doRead(session, args, format);
    else if (command == QLatin1String("write"))
        code = doWrite(session, args);
    else if (command == QLatin1String("backup"))
        code = doBackup(session, args);
    else if (command == QLatin1String("restore"))
        code = doRestore(session, args);
    else
        code = args.size() == 1 ? doStatus(session, format) : fail(QStringLiteral("usage: status"), kExitUsage);
    // What the link had to say while the command ran (a line that echoes) is said before
    // the program ends.
    QCoreApplication::sendPostedEvents();
    port.close();
    // Whatever a command made of it, a port that went away while it ran is a lost link.
    return lost ? kExitLink : code;
}

} // namespace velmora
