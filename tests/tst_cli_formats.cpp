// velmora-cli for scripts: the csv and json output of read, status, diff and scan, the exit
// code of each kind of failure, and the bash completion. End to end against vd840-sim on a
// pseudo-terminal.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "CliProcess.h"
#include "SimProcess.h"

namespace {

// Every line one JSON object; an empty list and a failed test when a line is anything else.
QList<QJsonObject> jsonLines(const QString &out)
{
    QList<QJsonObject> objects;
    for (const QString &line : rowsOf(out)) {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            qWarning("not a JSON object: %s", qPrintable(line));
            return {};
        }
        objects << doc.object();
    }
    return objects;
}

// One CSV line into its fields: quoted fields may hold commas, doubled quotes are one.
QStringList csvFields(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < line.size() && line[i + 1] == QLatin1Char('"'))
                field += line[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << std::exchange(field, {});
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

// The text rows of a command, the csv rows and the json objects must carry the same fields:
// text and csv in the same order, json under the header's keys, numbers as numbers.
void sameInAllFormats(const QStringList &args, const QStringList &keys, const QStringList &numeric)
{
    const CliRun text = cli(args);
    const CliRun csv = cli(QStringList{QStringLiteral("--format"), QStringLiteral("csv")} + args);
    const CliRun json = cli(QStringList{QStringLiteral("--format"), QStringLiteral("json")} + args);
    QCOMPARE(csv.code, text.code);
    QCOMPARE(json.code, text.code);
    const QStringList textRows = rowsOf(text.out);
    const QStringList csvRows = rowsOf(csv.out);
    const QList<QJsonObject> objects = jsonLines(json.out);
    QVERIFY(!textRows.isEmpty());
    QCOMPARE(csvRows.value(0), keys.join(QLatin1Char(',')));
    QCOMPARE(csvRows.size(), textRows.size() + 1);
    QCOMPARE(objects.size(), textRows.size());
    for (qsizetype i = 0; i < textRows.size(); ++i) {
        const QStringList cells = textRows[i].split(QLatin1Char('\t'));
        QCOMPARE(cells.size(), keys.size());
        QCOMPARE(csvFields(csvRows[i + 1]), cells);
        QCOMPARE(objects[i].keys().size(), keys.size());
        for (qsizetype k = 0; k < keys.size(); ++k) {
            const QJsonValue v = objects[i].value(keys[k]);
            if (numeric.contains(keys[k])) {
                QVERIFY2(v.isDouble(), qPrintable(keys[k]));
                QCOMPARE(QString::number(v.toInteger()), cells[k]);
            } else {
                QVERIFY2(v.isString(), qPrintable(keys[k]));
                QCOMPARE(v.toString(), cells[k]);
            }
        }
    }
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Runs the completion function in plain bash (no bash-completion package) for the words
// given, the last being the one completed; its candidates, one a line.
QStringList complete(const QStringList &words, const QString &dir = QDir::currentPath())
{
    QString array;
    for (const QString &w : words)
        array += QStringLiteral(" '") + w + QLatin1Char('\'');
    const QString script = QStringLiteral(
        "source \"$1\" || exit 9; cd \"$2\" || exit 9; COMP_WORDS=(velmora-cli%1); COMP_CWORD=%2; "
        "_velmora_cli; printf '%s\\n' \"${COMPREPLY[@]}\"")
                               .arg(array)
                               .arg(words.size());
    QProcess bash;
    bash.start(QStringLiteral("bash"), {QStringLiteral("--norc"), QStringLiteral("-c"), script, QStringLiteral("bash"),
                                        QStringLiteral(VELMORA_CLI_COMPLETION), dir});
    if (!bash.waitForFinished(10000) || bash.exitCode() != 0) {
        qWarning("bash: %s", bash.readAllStandardError().constData());
        return {QStringLiteral("<bash failed>")};
    }
    QStringList out = rowsOf(QString::fromUtf8(bash.readAllStandardOutput()));
    out.sort();
    return out;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

class TestCliFormats : public QObject {
    Q_OBJECT
private slots:
    // ---- output formats ----

    void readAndStatusAsJsonAndCsv()
    {
        SimProcess sim({QStringLiteral("--station"), QStringLiteral("7")});
        QVERIFY(!sim.device().isEmpty());
        const QStringList port{QStringLiteral("--port"), sim.device(), QStringLiteral("--station"), QStringLiteral("7")};
        QCOMPARE(cli(port + QStringList{"write", "304", "45.5"}).code, 0);

        // What the drive holds: P3-05 as written, P1-18 its station number.
        CliRun r = cli(port + QStringList{"--format", "json", "read", "303", "2"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QList<QJsonObject> rows = jsonLines(r.out);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1], (QJsonObject{{"id", "P3-05"}, {"register", 304}, {"value", "45.5"}}));
        QCOMPARE(rows[0].value("register").toInt(), 303);
        r = cli(port + QStringList{"--format", "json", "read", "117", "1"});
        QCOMPARE(jsonLines(r.out), QList<QJsonObject>{QJsonObject({{"id", "P1-18"}, {"register", 117}, {"value", "7"}})});
        QVERIFY(r.out.endsWith(QLatin1Char('\n')));
        QCOMPARE(r.out.count(QLatin1Char('\n')), 1);

        r = cli(port + QStringList{"--format", "csv", "read", "303", "2"});
        QCOMPARE(r.out, QStringLiteral("id,register,value\nP3-04,303,%1\nP3-05,304,45.5\n")
                            .arg(rows[0].value("value").toString()));

        r = cli(port + QStringList{"--format", "json", "status"});
        QCOMPARE(r.code, 0);
        rows = jsonLines(r.out);
        QCOMPARE(rows.size(), 18);
        QCOMPARE(rows.front().value("id").toString(), QStringLiteral("St-01"));
        QCOMPARE(rows.back(), (QJsonObject{{"id", "St-18"}, {"name", "Program Version"}, {"value", "1.04"}}));

        // Text, csv and json are the same rows; the I/O register's bit strings included.
        sameInAllFormats(port + QStringList{"read", "100", "20"}, {"id", "register", "value"}, {"register"});
        sameInAllFormats(port + QStringList{"read", "26", "1"}, {"id", "register", "value"}, {"register"});
        sameInAllFormats(port + QStringList{"status"}, {"id", "name", "value"}, {});
    }

    void diffAsJsonAndCsv()
    {
        SimProcess sim;
        QVERIFY(!sim.device().isEmpty());
        const QStringList port{QStringLiteral("--port"), sim.device()};
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("drive.vpf"));
        QCOMPARE(cli(port + QStringList{"backup", file}).code, 0);
        const QString before = rowsOf(cli(port + QStringList{"read", "304", "1"}).out).value(0).section('\t', 2);

        // No difference: an empty result, the header alone in csv.
        CliRun r = cli(port + QStringList{"--format", "json", "diff", file});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString());
        r = cli(port + QStringList{"--format", "csv", "diff", file});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("id,name,file,drive,unit\n"));
        QVERIFY(r.err.contains(QStringLiteral("0 of 152 parameters differ")));

        QCOMPARE(cli(port + QStringList{"write", "304", "45.5"}).code, 0);
        QCOMPARE(cli(port + QStringList{"write", "903", "3.1"}).code, 0);
        r = cli(port + QStringList{"--format", "json", "diff", file});
        QCOMPARE(r.code, 1);
        const QList<QJsonObject> rows = jsonLines(r.out);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].value("id").toString(), QStringLiteral("P3-05"));
        QCOMPARE(rows[0].value("file").toString(), before);
        QCOMPARE(rows[0].value("drive").toString(), QStringLiteral("45.5"));
        QCOMPARE(rows[1].value("id").toString(), QStringLiteral("P9-04"));
        QCOMPARE(rows[1].value("drive").toString(), QStringLiteral("3.1"));
        for (const QJsonObject &o : rows)
            QCOMPARE(sorted(o.keys()), (QStringList{"drive", "file", "id", "name", "unit"}));
        QVERIFY(!rows[0].value("name").toString().isEmpty());
        // The summary stays on standard error, whatever the format.
        QVERIFY(r.err.contains(QStringLiteral("2 of 152 parameters differ")));

        r = cli(port + QStringList{"--format", "csv", "diff", file});
        QCOMPARE(r.code, 1);
        QCOMPARE(rowsOf(r.out).size(), 1 + 2);
        sameInAllFormats(port + QStringList{"diff", file}, {"id", "name", "file", "drive", "unit"}, {});
    }

    void scanAsJsonAndCsv()
    {
        // A port name with a comma and a quote: csv quotes it, json escapes it.
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("drive,\"a\""));
        SimProcess sim({"--station", "7", "--listen-baud", "38400", "--link", link});
        QVERIFY(!sim.device().isEmpty());
        const QStringList scan{"--port", link, "--baud", "38400", "--from", "5", "--to", "9"};

        CliRun r = cli(QStringList{"--format", "json"} + scan + QStringList{"scan"});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QList<QJsonObject> hits = jsonLines(r.out);
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits[0], (QJsonObject{{"port", link}, {"baud", 38400}, {"station", 7}, {"version", "1.04"}}));
        QVERIFY(hits[0].value("baud").isDouble() && hits[0].value("station").isDouble());

        r = cli(QStringList{"--format", "csv"} + scan + QStringList{"scan"});
        QCOMPARE(r.code, 0);
        QString quoted = link;
        quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
        QCOMPARE(r.out, QStringLiteral("port,baud,station,version\n\"%1\",38400,7,1.04\n").arg(quoted));
        sameInAllFormats(scan + QStringList{"scan"}, {"port", "baud", "station", "version"}, {"baud", "station"});

        // Nobody in the range: 1, and no rows.
        const QStringList none{"--port", link, "--baud", "38400", "--from", "8", "--to", "9", "scan"};
        r = cli(QStringList{"--format", "json"} + none);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        r = cli(QStringList{"--format", "csv"} + none);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QStringLiteral("port,baud,station,version\n"));
    }

    void formatIsCheckedBeforeTheDriveIsAsked()
    {
        // A drive that would not answer: usage errors must come first, with code 2 and no rows.
        SimProcess silent({QStringLiteral("--silent")});
        const QStringList port{QStringLiteral("--port"), silent.device()};
        for (const QStringList &args : {QStringList{"--format", "xml", "status"}, QStringList{"--format", "", "read", "100", "1"},
                                        QStringList{"--format", "JSON", "scan"}}) {
            const CliRun r = cli(port + args);
            QCOMPARE(r.code, 2);
            QVERIFY(r.out.isEmpty());
            QVERIFY2(r.err.contains(QStringLiteral("bad format")), qPrintable(r.err));
        }
        for (const QString &command : QStringList{"write", "backup", "restore", "backup-all"}) {
            const CliRun r = cli(port + QStringList{"--format", "text", command, "x"});
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains(QStringLiteral("--format applies to read, status, diff and scan")), qPrintable(r.err));
        }
    }

    // ---- exit codes ----

    void exitCodeForEachKindOfFailure()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("good.vpf"));
        QCOMPARE(cli({"backup", good}).code, 0); // from the built-in simulated drive
        const QString garbage = dir.filePath(QStringLiteral("garbage.vpf"));
        writeFile(garbage, "not a parameter file\n");
        const QString missing = dir.filePath(QStringLiteral("missing.vpf"));
        const QString notADir = dir.filePath(QStringLiteral("plain"));
        writeFile(notADir, "x");

        // 2: usage.
        QCOMPARE(cli({"--bogus", "status"}).code, 2);
        QCOMPARE(cli({"frobnicate"}).code, 2);
        QCOMPARE(cli({"read", "100"}).code, 2);
        QCOMPARE(cli({"--baud", "1000", "status"}).code, 2);

        // 1: the command's negative answer.
        QCOMPARE(cli({"write", "304", "1000.1"}).code, 1);

        // 3: the line fails, whichever command meets it.
        {
            SimProcess silent({QStringLiteral("--silent")});
            const QStringList port{QStringLiteral("--port"), silent.device()};
            for (const QStringList &args : {QStringList{"read", "100", "1"}, QStringList{"status"}, QStringList{"write", "304", "40"},
                                            QStringList{"backup", dir.filePath("lost.vpf")}, QStringList{"restore", good},
                                            QStringList{"diff", good}}) {
                const CliRun r = cli(port + args);
                QVERIFY2(r.code == 3, qPrintable(args.join(' ') + ": " + QString::number(r.code) + " " + r.err));
                QVERIFY(r.out.isEmpty());
                QVERIFY(!r.err.isEmpty());
            }
            QVERIFY(!QFile::exists(dir.filePath("lost.vpf")));
        }
        {
            // One lost reply is a failure; the next request is answered again.
            SimProcess dropping({QStringLiteral("--drop"), QStringLiteral("1")});
            const QStringList port{QStringLiteral("--port"), dropping.device()};
            CliRun r = cli(port + QStringList{"--format", "json", "read", "100", "1"});
            QCOMPARE(r.code, 3);
            QVERIFY2(r.err.contains(QStringLiteral("no reply from station 1")), qPrintable(r.err));
            QVERIFY(r.out.isEmpty());
            QCOMPARE(cli(port + QStringList{"read", "100", "1"}).code, 0);
        }

        // 4: a file that can not be read, used or written. Checked before the drive is asked:
        // a silent drive changes nothing.
        SimProcess silent({QStringLiteral("--silent")});
        const QStringList port{QStringLiteral("--port"), silent.device()};
        for (const QStringList &args : {QStringList{"diff", missing}, QStringList{"diff", garbage}, QStringList{"restore", missing},
                                        QStringList{"restore", garbage}}) {
            const CliRun r = cli(port + args);
            QVERIFY2(r.code == 4, qPrintable(args.join(' ') + ": " + QString::number(r.code) + " " + r.err));
            QVERIFY(r.out.isEmpty());
        }
        // A file holding a value no drive accepts is refused whole.
        QFile f(good);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = f.readAll().split('\n');
        lines[26] = "7000\r"; // P2-05
        const QString outOfRange = dir.filePath(QStringLiteral("range.vpf"));
        writeFile(outOfRange, lines.join('\n'));
        QCOMPARE(cli(port + QStringList{"restore", outOfRange}).code, 4);
        // Saving where no file can be: the drive was read, the file is the failure.
        CliRun r = cli({"backup", dir.filePath("no/such/dir/x.vpf")});
        QCOMPARE(r.code, 4);
        QVERIFY2(r.err.contains(QStringLiteral("no/such/dir")), qPrintable(r.err));
        QCOMPARE(cli({"--to", "1", "backup-all", notADir + "/sub"}).code, 4);

        // 5: no port to talk through.
        for (const QStringList &args : {QStringList{"status"}, QStringList{"--format", "json", "read", "100", "1"},
                                        QStringList{"diff", good}, QStringList{"scan"}, QStringList{"backup-all", dir.path()}}) {
            const CliRun r = cli(QStringList{"--port", "/dev/does-not-exist"} + args);
            QVERIFY2(r.code == 5, qPrintable(args.join(' ') + ": " + QString::number(r.code) + " " + r.err));
            QVERIFY(r.err.contains(QStringLiteral("Comport Open Error")));
        }

        // Every code is in --help.
        const QString help = cli({"--help"}).out;
        for (int code = 0; code <= 5; ++code)
            QVERIFY2(help.contains(QRegularExpression(QStringLiteral("\\n  %1  \\S").arg(code))), qPrintable(QString::number(code)));
    }

    // ---- bash completion ----

    void bashCompletion()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("bash")).isEmpty())
            QSKIP("no bash");
        QCOMPARE(complete({""}),
                 sorted({"read", "write", "status", "backup", "restore", "diff", "scan", "backup-all"}));
        QCOMPARE(complete({"ba"}), (QStringList{"backup", "backup-all"}));
        QCOMPARE(complete({"--format", ""}), (QStringList{"csv", "json", "text"}));
        QCOMPARE(complete({"--format", "=", "j"}), (QStringList{"json"})); // --format=j
        QCOMPARE(complete({"--port", "/dev/x", "--format", "c"}), (QStringList{"csv"}));
        QCOMPARE(complete({"--baud", ""}), sorted({"1200", "2400", "4800", "9600", "19200", "38400", "57600"}));
        // The command is found past options and their values.
        QCOMPARE(complete({"--port", "/dev/x", "--station", "3", "sta"}), (QStringList{"status"}));

        // Every option --help names, and --format only where it applies.
        QStringList helpOptions;
        const QString help = cli({"--help"}).out;
        for (const QRegularExpressionMatch &m : QRegularExpression(QStringLiteral("(--[a-z][a-z-]*)")).globalMatch(help))
            if (!helpOptions.contains(m.captured(1)))
                helpOptions << m.captured(1);
        const QStringList options = complete({"--"});
        for (const QString &o : helpOptions)
            QVERIFY2(options.contains(o), qPrintable(o));
        QVERIFY(complete({"diff", "--"}).contains(QStringLiteral("--format")));
        QVERIFY(!complete({"write", "--"}).contains(QStringLiteral("--format")));

        // FILE and DIR arguments: files, or directories only; one argument, no more.
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("drive 1.vpf")), "x");
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("backups")));
        QCOMPARE(complete({"restore", "d"}, dir.path()), (QStringList{"drive 1.vpf"}));
        QCOMPARE(complete({"diff", ""}, dir.path()), (QStringList{"backups", "drive 1.vpf"}));
        QCOMPARE(complete({"backup-all", ""}, dir.path()), (QStringList{"backups"}));
        QCOMPARE(complete({"diff", "drive 1.vpf", ""}, dir.path()), QStringList());
        // --port offers the device files.
        const QStringList devices = complete({"--port", ""});
        QVERIFY(!devices.isEmpty());
        for (const QString &d : devices)
            QVERIFY2(d.startsWith(QStringLiteral("/dev/tty")), qPrintable(d));
    }
};

QTEST_MAIN(TestCliFormats)
#include "tst_cli_formats.moc"
