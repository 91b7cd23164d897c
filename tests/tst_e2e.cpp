// End to end: vd840-sim on a pseudo-terminal, the real serial port and velmora-cli.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "CliProcess.h"
#include "SimProcess.h"
#include "link/DriveSession.h"
#include "link/MessageService.h"
#include "link/QtSerialDrivePort.h"
#include "link/Receiver.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/ParamTransactions.h"

using namespace velmora;

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    // Both programs name the one version number, without a drive or a display.
    void versions()
    {
        const CliRun r = cli({QStringLiteral("--version")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("velmora-cli " VELMORA_VERSION "\n"));
        QProcess gui;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        gui.setProcessEnvironment(env);
        gui.start(QStringLiteral(VELMORA_GUI_PATH), {QStringLiteral("--version")});
        QVERIFY(gui.waitForFinished(20000));
        QCOMPARE(gui.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(gui.readAllStandardOutput()), QStringLiteral("Velmora " VELMORA_VERSION "\n"));
    }

    void serialPortAgainstTheSimulator()
    {
        SimProcess sim;
        QVERIFY2(!sim.device().isEmpty(), "vd840-sim printed no device");
        QtSerialDrivePort port(sim.device());
        QVERIFY2(port.open(), qPrintable(port.errorString()));
        RecordingMessageService messages;
        DriveSession session(&port, &messages);
        session.req.stationNumber = 1;
        TThread_Receive receiver(session);
        connect(&port, &DrivePort::dataAvailable, &receiver, &TThread_Receive::ApdComPort1TriggerAvail);

        QCOMPARE(ReadRegisters(session, 100, 20).outcome, ReplyOutcome::Good);
        QCOMPARE(session.reply.decodedValues[18], 1.f); // P1-18 holds the station number
        QCOMPARE(ReadRegisters(session, 26, 1).outcome, ReplyOutcome::Good);

        QString shown;
        const auto r = ValueWrite(session, P3Defs[4], QStringLiteral("45.5"), false, [&](const QString &t) { shown = t; });
        QCOMPARE(r.write, ReplyOutcome::Good);
        QCOMPARE(shown, QStringLiteral("45.5"));

        // Another station does not answer.
        session.responseWaitMs = 150;
        session.req.stationNumber = 2;
        QCOMPARE(ReadRegisters(session, 100, 20).outcome, ReplyOutcome::NoReply);
        session.req.stationNumber = 1;
        QCOMPARE(ReadRegisters(session, 300, 24).outcome, ReplyOutcome::Good);
        QCOMPARE(session.reply.decodedValues[5], 45.5f);
    }

    void commandLine()
    {
        SimProcess sim;
        QVERIFY(!sim.device().isEmpty());
        const QString dev = sim.device();

        CliRun r = cli({QStringLiteral("--port"), dev, QStringLiteral("write"), QStringLiteral("304"), QStringLiteral("45.5")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("P3-05\t304\t45.5\n"));

        r = cli({QStringLiteral("--port"), dev, QStringLiteral("read"), QStringLiteral("303"), QStringLiteral("2")});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1], QStringLiteral("P3-05\t304\t45.5"));

        r = cli({QStringLiteral("--port"), dev, QStringLiteral("status")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out.count(QLatin1Char('\n')), 18);
        QVERIFY(r.out.contains(QStringLiteral("St-18\tProgram Version\t1.04")));

        r = cli({QStringLiteral("--port"), dev, QStringLiteral("read"), QStringLiteral("5000"), QStringLiteral("1")});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(QStringLiteral("unknown register")));

        r = cli({QStringLiteral("--port"), dev, QStringLiteral("read"), QStringLiteral("100"), QStringLiteral("0")});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(QStringLiteral("bad count")));

        r = cli({QStringLiteral("--port"), dev, QStringLiteral("write"), QStringLiteral("304"), QStringLiteral("1000.1")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QStringLiteral("Wrong parameter")));

        r = cli({QStringLiteral("--port"), dev, QStringLiteral("--station"), QStringLiteral("9"), QStringLiteral("read"), QStringLiteral("100"), QStringLiteral("1")});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains(QStringLiteral("no reply from station 9")));

        r = cli({QStringLiteral("--port"), QStringLiteral("/dev/does-not-exist"), QStringLiteral("status")});
        QCOMPARE(r.code, 5);
        QVERIFY(r.err.contains(QStringLiteral("Comport Open Error")));
    }

    void backupAndRestoreOverThePseudoTerminal()
    {
        SimProcess sim;
        QVERIFY(!sim.device().isEmpty());
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("drive.vpf"));
        const CliRun r = cli({QStringLiteral("--port"), sim.device(), QStringLiteral("backup"), file});
        QCOMPARE(r.code, 0);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes.count("\r\n"), qsizetype(161));
        QVERIFY(bytes.startsWith("[P1--]\r\n0\r\n"));
        QVERIFY(bytes.contains("\r\n[P9--]\r\n"));

        // Restore a changed copy; a bad copy writes nothing.
        QByteArray changed = bytes;
        QList<QByteArray> lines = changed.split('\n');
        lines[57] = "12.5\r"; // P3-02
        const QString copy = dir.filePath(QStringLiteral("changed.vpf"));
        QFile c(copy);
        QVERIFY(c.open(QIODevice::WriteOnly));
        c.write(lines.join('\n'));
        c.close();
        const CliRun restored = cli({QStringLiteral("--port"), sim.device(), QStringLiteral("restore"), copy});
        QVERIFY2(restored.code == 0, qPrintable(restored.err));
        QVERIFY(restored.out.startsWith(QStringLiteral("DownLoad Complete!!!")));
        const CliRun read = cli({QStringLiteral("--port"), sim.device(), QStringLiteral("read"), QStringLiteral("301"), QStringLiteral("1")});
        QCOMPARE(read.out.trimmed(), QStringLiteral("P3-02\t301\t12.5"));
        lines[26] = "7000\r"; // P2-05
        QVERIFY(c.open(QIODevice::WriteOnly | QIODevice::Truncate));
        c.write(lines.join('\n'));
        c.close();
        const CliRun refused = cli({QStringLiteral("--port"), sim.device(), QStringLiteral("restore"), copy});
        QCOMPARE(refused.code, 4);
        QVERIFY2(refused.err.contains(QStringLiteral("Wrong P2 Data5; nothing written")), qPrintable(refused.err));

        // A silent drive: nothing is saved, and the old file stays as it was.
        SimProcess silent({QStringLiteral("--silent")});
        const CliRun lost = cli({QStringLiteral("--port"), silent.device(), QStringLiteral("backup"), file});
        QCOMPARE(lost.code, 3);
        QVERIFY(lost.err.contains(QStringLiteral("nothing saved")));
        f.seek(0);
        QCOMPARE(f.readAll(), bytes);
    }

    // A two-wire RS-485 line that sends every request back: a write first (its copy taken
    // for the acknowledgement until the line shows that it echoes), then a whole backup and
    // restore. Everything succeeds, and each run says once that the line echoes.
    void echoingLineFromTheCommandLine()
    {
        SimProcess sim({QStringLiteral("--echo")});
        QVERIFY(!sim.device().isEmpty());
        const QString echoes = QString::fromLatin1(texts::LineEchoes);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("drive.vpf"));
        const QList<QStringList> runs{
            {QStringLiteral("write"), QStringLiteral("304"), QStringLiteral("45.5")},
            {QStringLiteral("backup"), file},
            {QStringLiteral("restore"), file},
            {QStringLiteral("read"), QStringLiteral("304"), QStringLiteral("1")},
        };
        for (const QStringList &args : runs) {
            const CliRun r = cli(QStringList{QStringLiteral("--port"), sim.device()} + args);
            QVERIFY2(r.code == 0, qPrintable(args.join(QLatin1Char(' ')) + QStringLiteral(": ") + r.err));
            QCOMPARE(r.err.count(echoes), 1);
        }
        const CliRun read = cli({QStringLiteral("--port"), sim.device(), QStringLiteral("read"), QStringLiteral("304"), QStringLiteral("1")});
        QCOMPARE(read.out.trimmed(), QStringLiteral("P3-05\t304\t45.5"));
    }

    void commandLineSimulated()
    {
        const CliRun r = cli({QStringLiteral("status")});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("St-01\tDisplay Select\t")));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
