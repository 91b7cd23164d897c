#include "cli/Cli.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

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
#include "params/DriveScan.h"
#include "params/DisplayRules.h"
#include "params/ParamTransactions.h"
#include "params/ValueCodec.h"
#include "params/Download.h"
#include "params/PageReader.h"
#include "params/ParamFile.h"

namespace velmora {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;
// diff, scan and backup-all: 1 is "some differ", "nothing answered" or "a backup failed";
// 2 is any error (usage, a bad file, a drive that did not answer a diff).
constexpr int kExitFound = 1;
constexpr int kExitError = 2;
constexpr int kMaxReadCount = 48; // a reply of 48 registers still fits 200 bytes

void say(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toUtf8().constData());
}

int fail(const QString &line, int code = kExitRefused)
{
    std::fprintf(stderr, "velmora-cli: %s\n", line.toUtf8().constData());
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

QString line(uint16_t reg, const QString &value)
{
    return QStringLiteral("%1\t%2\t%3").arg(ParamIdForAddress(reg), QString::number(reg), value);
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

int doRead(DriveSession &s, const QStringList &args)
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
        return fail(outcomeProblem(o.outcome, s.station()));
    if (reg == kIoStatusRegister && count == 1) {
        say(line(kIoStatusRegister, ioText(o.ioBits())));
        return kExitOk;
    }
    for (long i = 0; i < count; ++i) {
        const auto r = static_cast<uint16_t>(reg + i);
        say(line(r, FormatRecordValue(*FindParamDef(r), o.value(int(i) + 1))));
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
    if (r.status != ValueWriteResult::Written)
        return kExitRefused; // the session has said why
    if (r.write != ReplyOutcome::Good)
        return fail(outcomeProblem(r.write, s.station()));
    if (r.readBack != ReplyOutcome::Good)
        return fail(outcomeProblem(r.readBack, s.station()));
    say(line(address, shown));
    return kExitOk;
}

int doStatus(DriveSession &s)
{
    const ExchangeResult o = ReadRegisters(s, StDefs[0].Address, static_cast<uint16_t>(StDefs.size()));
    if (!o.good())
        return fail(outcomeProblem(o.outcome, s.station()));
    std::array<QString, StDefs.size()> texts;
    for (size_t i = 0; i < StDefs.size(); ++i)
        texts[i] = FormatRecordValue(StDefs[i], o.value(int(i) + 1));
    const ExchangeResult io = ReadRegisters(s, kIoStatusRegister, 1);
    if (!io.good())
        return fail(outcomeProblem(io.outcome, s.station()));
    for (size_t i = 0; i < StDefs.size(); ++i) {
        const bool isIo = StDefs[i].Address == kIoStatusRegister;
        say(QStringLiteral("%1\t%2\t%3")
                .arg(ParamIdForAddress(StDefs[i].Address), QString::fromUtf8(StatusItemNames[i]),
                     isIo ? ioText(io.ioBits()) : texts[i]));
    }
    return kExitOk;
}

// Every group into a parameter file, as "Read(PC<-SERVO)" does; but a group that gets
// no good reply fails the backup instead of being saved from stale values. Returns why
// nothing was saved, or nothing.
QString backupInto(DriveSession &s, const QString &path)
{
    ParamTexts texts;
    for (int g = 1; g <= 9; ++g) {
        const ReplyOutcome o = TThread_Pg_READ(s, texts, g).run();
        if (o != ReplyOutcome::Good)
            return QStringLiteral("P%1: %2; nothing saved").arg(g).arg(outcomeProblem(o, s.station()));
        if (g == 1)
            ApplyMotorDefaults(texts.P(1));
    }
    QString error;
    if (!SaveParamFile(path, BuildParamFileLines(texts.texts), &error))
        return QStringLiteral("%1 (%2)").arg(QString::fromLatin1(texts::FileSaveFail), error);
    return {};
}

int doBackup(DriveSession &s, const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: backup FILE"), kExitUsage);
    if (const QString why = backupInto(s, args[1]); !why.isEmpty())
        return fail(why);
    say(QStringLiteral("saved %1 lines to %2").arg(kParamFileLines).arg(args[1]));
    return kExitOk;
}

// The parameters whose drive value differs from the file's, one tab-separated row each.
int doDiff(DriveSession &s, const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: diff FILE"), kExitError);
    const std::optional<QStringList> lines = ReadParamFileLines(args[1]);
    if (!lines)
        return fail(QStringLiteral("can not open %1").arg(args[1]), kExitError);
    const DriveComparison c = CompareWithDrive(s, *lines);
    if (!c.ok())
        return fail(QStringLiteral("%1: %2").arg(args[1], c.error), kExitError);
    for (const ParamDifference &d : c.differences())
        say(QStringLiteral("%1\t%2\t%3\t%4\t%5").arg(d.id, d.name, d.fileText, d.driveText, d.unit));
    std::fprintf(stderr, "%d of %d parameters differ\n", c.differing, int(c.rows.size()));
    return c.differing == 0 ? kExitOk : kExitFound;
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

int doScan(DriveSession &s, const QStringList &args, const ScanRequest &request)
{
    if (args.size() != 1)
        return fail(QStringLiteral("usage: scan [--all] [--from N] [--to N]"), kExitError);
    const ScanResult r = runScan(s, request);
    for (const ScanHit &hit : r.hits)
        say(QStringLiteral("%1\t%2\t%3\t%4").arg(request.portText).arg(hit.baud).arg(hit.station).arg(hit.versionText));
    if (!r.ok())
        return fail(r.error, kExitError);
    std::fprintf(stderr, "%d of %d probes answered\n", int(r.hits.size()), r.tried);
    return r.hits.empty() ? kExitFound : kExitOk;
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
int doBackupAll(DriveSession &s, const QStringList &args, const ScanRequest &request)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: backup-all DIR"), kExitUsage);
    const QDir dir(args[1]);
    if (!dir.exists() && !QDir().mkpath(args[1]))
        return fail(QStringLiteral("can not create the directory %1").arg(args[1]), kExitUsage);
    ScanRequest all = request;
    all.all = true;
    const ScanResult r = runScan(s, all);
    if (!r.ok())
        return fail(r.error);
    if (r.hits.empty())
        return fail(QStringLiteral("no station from %1 to %2 answered at %3 baud; nothing saved")
                        .arg(request.from).arg(request.to).arg(request.bauds.value(0)));
    int failed = 0;
    for (const ScanHit &hit : r.hits) {
        s.setStation(hit.station);
        const QString path = dir.filePath(backupFileName(hit));
        const QString why = backupInto(s, path);
        if (!why.isEmpty())
            ++failed;
        say(QStringLiteral("%1\t%2").arg(path, why.isEmpty() ? QStringLiteral("saved") : QStringLiteral("failed: ") + why));
    }
    return failed == 0 ? kExitOk : kExitRefused;
}

// A parameter file into the drive, with the checks and requests of "Write(PC->SERVO)".
// The file is checked before anything goes to the drive.
int doRestore(DriveSession &s, const QStringList &args)
{
    if (args.size() != 2)
        return fail(QStringLiteral("usage: restore FILE"), kExitUsage);
    const std::optional<QStringList> lines = ReadParamFileLines(args[1]);
    if (!lines)
        return fail(QStringLiteral("can not open %1").arg(args[1]));
    const DownloadCheck check = CheckDownloadLines(*lines);
    if (!check.plan) {
        QString said = QStringLiteral("%1; nothing written").arg(check.messages.join(QStringLiteral("; ")));
        const QStringList details = check.details.filter(QRegularExpression(QStringLiteral(".")));
        if (!details.isEmpty())
            said += QLatin1Char(' ') + details.join(QLatin1Char(' '));
        return fail(said);
    }
    TThread_CHK_SOVOEN guard(s);
    guard.run();
    if (!guard.known())
        return fail(QString::fromLatin1(texts::GuardUnanswered));
    if (s.link.servoOnFlag == 1)
        return fail(QStringLiteral("%1; nothing written").arg(QString::fromLatin1(texts::SeovoOn)));
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
        return fail(QStringLiteral("%1 %2").arg(QString::fromLatin1(texts::DownLoadFailed), problems.join(QStringLiteral("; "))));
    if (!problems.isEmpty())
        fail(QStringLiteral("warning: %1").arg(problems.join(QStringLiteral("; "))));
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
        "                    id, name, file value, drive value, unit (tab-separated)\n"
        "  scan              find the drive: print port, baud, station and program version of\n"
        "                    the first station that answers (--all: every one). Tries every\n"
        "                    baud rate, 9600 first, unless --baud is given; stations --from to\n"
        "                    --to (default 1 to 31). Only reads, never writes.\n"
        "  backup-all DIR    back up every station that answers at --baud (default 9600) into\n"
        "                    DIR/station-NN-vX.YY.vpf, one line per station\n\n"
        "Exit codes: 0 done; 1 refused (read, write, status, backup, restore), parameters\n"
        "differ (diff), nothing answered (scan) or a station not saved (backup-all); 2 usage\n"
        "error, and for diff and scan any error (a bad file, no answer to a diff).\n\n"
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
    parser.addOptions({portOpt, simOpt, baudOpt, stationOpt, allOpt, fromOpt, toOpt});
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
    // diff and scan keep 1 for their finding; every failure of theirs is 2.
    const bool findingCommand = command == QLatin1String("diff") || command == QLatin1String("scan");
    if (!port.open())
        return fail(QStringLiteral("%1: %2").arg(QString::fromLatin1(texts::ComportOpenError), port.errorString()),
                    findingCommand ? kExitError : kExitRefused);

    ConsoleMessageService messages;
    DriveSession session(&port, &messages);
    session.setStation(static_cast<uint8_t>(station));
    TThread_Receive receiver(session);
    QObject::connect(&port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);
    bool lost = false;
    QObject::connect(&port, &DrivePort::deviceLost, [&](const QString &why) {
        lost = true;
        fail(why);
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
        code = doDiff(session, args);
    else if (command == QLatin1String("scan"))
        code = doScan(session, args, scan);
    else if (command == QLatin1String("backup-all"))
        code = doBackupAll(session, args, scan);
    else if (command == QLatin1String("read"))
        code = doRead(session, args);
    else if (command == QLatin1String("write"))
        code = doWrite(session, args);
    else if (command == QLatin1String("backup"))
        code = doBackup(session, args);
    else if (command == QLatin1String("restore"))
        code = doRestore(session, args);
    else
        code = args.size() == 1 ? doStatus(session) : fail(QStringLiteral("usage: status"), kExitUsage);
    port.close();
    if (lost && findingCommand)
        return kExitError;
    return lost && code == kExitOk ? kExitRefused : code;
}

} // namespace velmora
