// Commissioning on the command line: comparing drive and file, finding a drive, backing up
// every station of a line. In process against simulated drives on one line, and end to end
// with velmora-cli and vd840-sim on a pseudo-terminal.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <deque>
#include <memory>
#include <set>

#include "SimDrive.h"
#include "CliProcess.h"
#include "SimProcess.h"
#include "SimulatedPort.h"
#include "link/DriveSession.h"
#include "link/MessageService.h"
#include "link/Receiver.h"
#include "params/Catalogue.h"
#include "params/Compare.h"
#include "params/DriveScan.h"
#include "params/ParamFile.h"

using namespace velmora;

namespace {

// Several simulated drives on one line, each listening at its own baud rate: a request
// sent at another rate reaches that drive as noise and is not heard at all.
class MultiDropPort : public DrivePort {
public:
    struct Drop {
        std::shared_ptr<SimDrive> drive;
        qint32 baud;
    };
    explicit MultiDropPort(std::vector<Drop> drops) : drops_(std::move(drops)) {}

    void applySettings(const PortSettings &s) override { baud_ = s.Baud; }
    bool open() override
    {
        open_ = true;
        ++opens;
        return true;
    }
    void close() override
    {
        open_ = false;
        input_.clear();
    }
    bool isOpen() const override { return open_; }
    QString errorString() const override { return {}; }
    QString portName() const override { return QStringLiteral("line"); }
    qint64 bytesWaiting() const override { return input_.size(); }
    QByteArray readAll() override { return std::exchange(input_, {}); }
    void discardInput() override { input_.clear(); }
    void discardOutput() override {}
    void send(const quint8 *data, int length) override
    {
        const QByteArray bytes(reinterpret_cast<const char *>(data), length);
        for (const Drop &d : drops_) {
            if (d.baud != baud_)
                continue;
            qint64 delayUs = 0;
            for (const ReplyPiece &p : d.drive->receive(bytes)) {
                delayUs += p.delayUs;
                QTimer::singleShot(int(delayUs / 1000), this, [this, b = p.bytes] {
                    if (!open_)
                        return;
                    input_ += b;
                    emit dataAvailable();
                });
            }
        }
    }

    int opens = 0;

private:
    std::vector<Drop> drops_;
    qint32 baud_ = 9600;
    bool open_ = false;
    QByteArray input_;
};

// A session on a port, with its receiver.
struct Line {
    explicit Line(DrivePort *port) : session(port, &messages), receiver(session)
    {
        QObject::connect(port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);
        session.setStation(1);
    }
    RecordingMessageService messages;
    DriveSession session;
    TThread_Receive receiver;
};

QStringList ids(const std::vector<ParamDifference> &rows)
{
    QStringList out;
    for (const ParamDifference &r : rows)
        out << r.id;
    return out;
}

// A probe is function 3 of register 27, count 1; anything else a scan sent would be a fault.
bool onlyVersionReads(const SimDrive &drive)
{
    for (const QByteArray &r : drive.requests()) {
        if (r.size() != 8 || uint8_t(r[1]) != 3 || uint8_t(r[2]) != 0 || uint8_t(r[3]) != 27 || uint8_t(r[4]) != 0
            || uint8_t(r[5]) != 1)
            return false;
    }
    return true;
}

} // namespace

class TestCommissionCli : public QObject {
    Q_OBJECT
private slots:
    // ---- comparing drive and file, in process ----

    void compareFindsExactlyTheChangedParameters()
    {
        auto drive = std::make_shared<SimDrive>(1);
        SimulatedPort port(drive);
        QVERIFY(port.open());
        Line line(&port);

        const DriveGroups before = ReadDriveGroups(line.session);
        QVERIFY2(before.complete(), qPrintable(DescribeUnreadGroups(before, 1)));
        QStringList file = BuildParamFileLines(before.texts);
        DriveComparison same = CompareWithDrive(line.session, file);
        QVERIFY2(same.ok(), qPrintable(same.error));
        QCOMPARE(int(same.rows.size()), 152);
        QCOMPARE(same.differing, 0);
        QCOMPARE(same.rows.front().id, QStringLiteral("P1-01"));
        QCOMPARE(same.rows.back().id, QStringLiteral("P9-08"));

        QVERIFY(drive->setRegister(304, 55.5));  // P3-05
        QVERIFY(drive->setRegister(215, 12.3));  // P2-16
        QVERIFY(drive->setRegister(901, 1));     // P9-02
        const DriveComparison c = CompareWithDrive(line.session, file);
        QVERIFY(c.ok());
        QCOMPARE(ids(c.differences()), (QStringList{"P2-16", "P3-05", "P9-02"}));
        QCOMPARE(c.differing, 3);
        const ParamDifference d = c.differences()[1];
        QCOMPARE(d.driveText, QStringLiteral("55.5"));
        QCOMPARE(d.fileText, before.texts[2][4]);
        QVERIFY(!d.name.isEmpty() && !d.name.contains(QLatin1Char('[')));

        // The file's own spelling does not matter, only the value as it shows.
        file[1 + 20 + 1 + 33 + 1 + 4] = QStringLiteral(" 55.50 "); // P3-05
        QCOMPARE(ids(CompareWithDrive(line.session, file).differences()), (QStringList{"P2-16", "P9-02"}));
    }

    void compareFileValues()
    {
        GroupTexts drive; // every parameter 1, as a backup shows it
        for (int g = 1; g <= 9; ++g)
            for (const TParamDef &def : ParamGroups[size_t(g - 1)].defs)
                drive[size_t(g - 1)] << FormatParamValue(1, def.Decimals);
        QStringList lines = BuildParamFileLines(drive);
        lines[1] = QStringLiteral("0");
        drive[0][0] = QStringLiteral("0");
        QString error;
        auto file = ParamFileGroups(lines, &error);
        QVERIFY2(file, qPrintable(error));
        QCOMPARE(CompareGroupTexts(*file, drive).size(), size_t(152));

        // A fraction of a whole number and a value out of range keep their text and differ.
        lines[1 + 20 + 1] = QStringLiteral("1.4");    // P2-01, whole
        lines[1 + 20 + 1 + 4] = QStringLiteral("7000"); // P2-05, 0..6000
        lines[1 + 20 + 1 + 1] = QStringLiteral("1.00"); // P2-02 holds 100..10000: "1.00" is out too
        file = ParamFileGroups(lines, &error);
        QVERIFY(file);
        const auto rows = CompareGroupTexts(*file, drive);
        std::vector<ParamDifference> differing;
        for (const auto &r : rows)
            if (r.differs)
                differing.push_back(r);
        QCOMPARE(ids(differing), (QStringList{"P2-01", "P2-02", "P2-05"}));
        QCOMPARE(differing[0].fileText, QStringLiteral("1.4"));

        // A motor from the drive's list: P1-02..P1-09 follow it on both sides.
        lines = BuildParamFileLines(drive);
        lines[1] = QStringLiteral("5");
        file = ParamFileGroups(lines, &error);
        QVERIFY(file);
        QCOMPARE((*file)[0][3], QString::fromLatin1(kMotorDefault));
        GroupTexts listMotor = drive;
        listMotor[0][0] = QStringLiteral("5");
        int differs = 0;
        for (const auto &r : CompareGroupTexts(*file, listMotor))
            differs += r.differs;
        QCOMPARE(differs, 0);
        differs = 0;
        for (const auto &r : CompareGroupTexts(*file, drive)) // the drive's motor is 0
            differs += r.differs;
        QCOMPARE(differs, 1 + 8);

        // Files that can not be compared say where.
        const QStringList good = BuildParamFileLines(drive);
        QVERIFY(!ParamFileGroups(good.mid(0, 160), &error));
        QVERIFY(error.contains(QStringLiteral("160 lines")));
        lines = good;
        lines[21] = QStringLiteral("[P3--]");
        QVERIFY(!ParamFileGroups(lines, &error));
        QVERIFY2(error.contains(QStringLiteral("line 22 should read [P2--]")), qPrintable(error));
        lines = good;
        lines[1 + 20 + 1 + 2] = QStringLiteral("fast");
        QVERIFY(!ParamFileGroups(lines, &error));
        QVERIFY2(error.contains(QStringLiteral("line 25 (P2-03)")), qPrintable(error));
    }

    void compareFailsOnAGroupWithoutAnswer()
    {
        auto drive = std::make_shared<SimDrive>(1);
        SimulatedPort port(drive);
        QVERIFY(port.open());
        Line line(&port);
        line.session.responseWaitMs = 100;
        const QStringList file = BuildParamFileLines(ReadDriveGroups(line.session).texts);

        drive->exceptionNextReplies(1, 2); // P1 refused, the rest answered
        DriveComparison c = CompareWithDrive(line.session, file);
        QVERIFY(!c.ok());
        QVERIFY(c.rows.empty());
        QCOMPARE(c.error, QStringLiteral("P1: refused by the drive; nothing compared"));

        drive->setSilent(true);
        drive->clearTraffic();
        c = CompareWithDrive(line.session, file);
        QVERIFY(c.rows.empty());
        QCOMPARE(c.error, QStringLiteral("P1, P2, P3: no reply from station 1; P4 to P9 not read; nothing compared"));
        QCOMPARE(drive->requests().size(), 3);

        // A bad file: nothing is sent.
        drive->setSilent(false);
        drive->clearTraffic();
        c = CompareWithDrive(line.session, file.mid(0, 100));
        QVERIFY(!c.ok());
        QVERIFY(drive->requests().isEmpty());
    }

    // ---- finding drives, in process ----

    void scanFindsDrivesAtTheirBaudAndOnlyReads()
    {
        auto a = std::make_shared<SimDrive>(3);
        auto b = std::make_shared<SimDrive>(7);
        MultiDropPort port({{a, 38400}, {b, 38400}});
        QVERIFY(port.open());
        Line line(&port);
        line.session.setStation(1);
        const int wait = line.session.responseWaitMs;

        ScanOptions o;
        o.bauds = {9600, 38400};
        o.firstStation = 2;
        o.lastStation = 8;
        o.all = true;
        std::vector<std::pair<int, int>> progress;
        DriveScanner scanner(line.session);
        scanner.setProgress([&](int tried, int total) { progress.emplace_back(tried, total); });
        ScanResult r = scanner.run(o);
        QVERIFY(r.ok());
        QCOMPARE(r.hits.size(), size_t(2));
        QCOMPARE(r.hits[0].baud, 38400);
        QCOMPARE(int(r.hits[0].station), 3);
        QCOMPARE(int(r.hits[1].station), 7);
        QCOMPARE(r.hits[1].versionText, QStringLiteral("1.04"));
        QCOMPARE(r.tried, 14);
        QCOMPARE(progress.size(), size_t(14));
        QCOMPARE(progress.back(), std::make_pair(14, 14));

        // Nothing but version reads reached either drive, and only at their baud rate.
        QVERIFY(onlyVersionReads(*a));
        QVERIFY(onlyVersionReads(*b));
        QCOMPARE(a->requests().size(), 7);
        // The session is as it was, the port open again.
        QCOMPARE(int(line.session.station()), 1);
        QCOMPARE(line.session.responseWaitMs, wait);
        QVERIFY(port.isOpen());

        // Without "all" the first answer ends the scan.
        o.all = false;
        r = DriveScanner(line.session).run(o);
        QCOMPARE(r.hits.size(), size_t(1));
        QCOMPARE(int(r.hits[0].station), 3);
        QCOMPARE(r.tried, 7 + 2);
    }

    void scanCountsNeitherGarbledNorRefusedReplies()
    {
        auto a = std::make_shared<SimDrive>(2);
        MultiDropPort port({{a, 9600}});
        Line line(&port);
        ScanOptions o;
        o.bauds = {9600};
        o.firstStation = 1;
        o.lastStation = 3;
        o.all = true;
        a->corruptNextCrc(1);
        QVERIFY(DriveScanner(line.session).run(o).hits.empty());
        a->exceptionNextReplies(1, 2);
        QVERIFY(DriveScanner(line.session).run(o).hits.empty());
        QCOMPARE(DriveScanner(line.session).run(o).hits.size(), size_t(1));
        QVERIFY(!port.isOpen()); // closed before, closed after
    }

    void scanCancels()
    {
        MultiDropPort port({});
        Line line(&port);
        ScanOptions o; // every baud rate, stations 1..31: 217 silent probes
        int seen = 0;
        DriveScanner scanner(line.session);
        scanner.setProgress([&](int tried, int) { seen = tried; if (tried == 4) scanner.cancel(); });
        QElapsedTimer t;
        t.start();
        const ScanResult r = scanner.run(o);
        QVERIFY(r.cancelled);
        QCOMPARE(r.tried, 4);
        QCOMPARE(seen, 4);
        QCOMPARE(r.total, 7 * 31);
        QVERIFY(r.hits.empty());
        QVERIFY(t.elapsed() < 2000);
    }

    // ---- end to end: velmora-cli and vd840-sim on a pseudo-terminal ----

    void diffOverTheLine()
    {
        SimProcess sim;
        QVERIFY(!sim.device().isEmpty());
        const QString dev = sim.device();
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("drive.vpf"));
        QCOMPARE(cli({"--port", dev, "backup", file}).code, 0);

        CliRun r = cli({"--port", dev, "diff", file});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out, QString());

        QCOMPARE(cli({"--port", dev, "write", "304", "45.5"}).code, 0);
        QCOMPARE(cli({"--port", dev, "write", "401", "12.5"}).code, 0);
        QCOMPARE(cli({"--port", dev, "write", "903", "3.1"}).code, 0);
        r = cli({"--port", dev, "diff", file});
        QCOMPARE(r.code, 1);
        const QStringList rows = rowsOf(r.out);
        QCOMPARE(rows.size(), 3);
        QStringList found;
        for (const QString &row : rows) {
            const QStringList cells = row.split(QLatin1Char('\t'));
            QCOMPARE(cells.size(), 5);
            found << cells[0];
        }
        QCOMPARE(found, (QStringList{"P3-05", "P4-02", "P9-04"}));
        QCOMPARE(rows[0].split(QLatin1Char('\t'))[3], QStringLiteral("45.5"));
        QVERIFY(r.err.contains(QStringLiteral("3 of 152 parameters differ")));

        // Restoring the file makes them agree again.
        QCOMPARE(cli({"--port", dev, "restore", file}).code, 0);
        QCOMPARE(cli({"--port", dev, "diff", file}).code, 0);

        // Failures are not 1: a message, no rows, and a code of their own (4 the file, 3 the line).
        r = cli({"--port", dev, "diff", dir.filePath(QStringLiteral("missing.vpf"))});
        QCOMPARE(r.code, 4);
        QVERIFY(r.out.isEmpty());
        SimProcess silent({QStringLiteral("--silent")});
        r = cli({"--port", silent.device(), "diff", file});
        QCOMPARE(r.code, 3);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(QStringLiteral("no reply from station 1; P4 to P9 not read; nothing compared")), qPrintable(r.err));
    }

    void scanOverTheLine()
    {
        SimProcess sim({"--station", "7", "--listen-baud", "38400"});
        QVERIFY(!sim.device().isEmpty());
        CliRun r = cli({"--port", sim.device(), "scan"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("%1\t38400\t7\t1.04\n").arg(sim.device()));

        // At the wrong rate, or outside the range: nothing, within the time the probes take.
        r = cli({"--port", sim.device(), "--baud", "9600", "--to", "10", "scan"});
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.ms < 10 * 100 + 1500, qPrintable(QString::number(r.ms)));
        r = cli({"--port", sim.device(), "--baud", "38400", "--from", "8", "--to", "12", "scan"});
        QCOMPARE(r.code, 1);

        r = cli({"--port", sim.device(), "--from", "9", "--to", "3", "scan"});
        QCOMPARE(r.code, 2);
        r = cli({"--port", "/dev/does-not-exist", "scan"});
        QCOMPARE(r.code, 5);
    }

    void scanAllAndBackupAllOnASharedLine()
    {
        SimProcess sim({"--station", "3", "--station", "7", "--listen-baud", "19200"});
        QVERIFY(!sim.device().isEmpty());
        const QString dev = sim.device();
        CliRun r = cli({"--port", dev, "--baud", "19200", "--to", "10", "--all", "scan"});
        QCOMPARE(r.code, 0);
        QCOMPARE(rowsOf(r.out), (QStringList{dev + "\t19200\t3\t1.04", dev + "\t19200\t7\t1.04"}));

        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("line"));
        r = cli({"--port", dev, "--baud", "19200", "--to", "10", "backup-all", out});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString three = out + QStringLiteral("/station-03-v1.04.vpf");
        const QString seven = out + QStringLiteral("/station-07-v1.04.vpf");
        QCOMPARE(rowsOf(r.out), (QStringList{three + "\tsaved", seven + "\tsaved"}));
        QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{"station-03-v1.04.vpf", "station-07-v1.04.vpf"}));
        // Each file is its own drive's: P1-18 holds the station number.
        for (const auto &[path, station] : {std::pair{three, 3}, std::pair{seven, 7}}) {
            const auto lines = ReadParamFileLines(path);
            QVERIFY(lines && lines->size() == kParamFileLines);
            QCOMPARE(lines->at(18), QString::number(station));
            QCOMPARE(cli({"--port", dev, "--baud", "19200", "--station", QString::number(station), "diff", path}).code, 0);
        }

        // Nobody at this rate: exit 1, nothing written.
        const QString empty = dir.filePath(QStringLiteral("none"));
        r = cli({"--port", dev, "--to", "8", "backup-all", empty});
        QCOMPARE(r.code, 1);
        QVERIFY(QDir(empty).entryList(QDir::Files).isEmpty());
    }
};

QTEST_MAIN(TestCommissionCli)
#include "tst_commission_cli.moc"
