// Writing a parameter file into the drive: the checks and their messages, the requests
// on the wire, and what the window does after each kind of run.
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTableWidget>
#include <QLabel>
#include <QTest>

#include "MainRig.h"
#include "link/Transactions.h"
#include "params/Catalogue.h"
#include "params/DisplayRules.h"
#include "params/Download.h"
#include "params/CompareWindow.h"
#include "params/DownloadWindow.h"
#include "params/ParamFile.h"
#include "params/ReportWindows.h"
#include "widgets/ProcessWindow.h"

using namespace velmora;

namespace {

// Line of a parameter in the file: marker lines count.
int lineOf(int group, int number)
{
    int at = 0;
    for (int g = 1; g < group; ++g)
        at += 1 + int(ParamGroups[size_t(g - 1)].defs.size());
    return at + number;
}

// A file that passes every check: each parameter at its minimum, station 1.
QStringList validLines(int motor)
{
    std::array<QStringList, 9> texts;
    for (int g = 1; g <= 9; ++g)
        for (const TParamDef &def : ParamGroups[size_t(g - 1)].defs)
            texts[size_t(g - 1)] << FormatParamValue(def.MinValue, def.Decimals);
    texts[0][0] = QString::number(motor);
    texts[0][17] = QStringLiteral("1");
    ApplyMotorDefaults(texts[0]);
    return BuildParamFileLines(texts);
}

QString writeFile(const QTemporaryDir &dir, const QStringList &lines, const QString &name = QStringLiteral("d.vpf"))
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (const QString &l : lines)
        f.write(l.toLatin1() + "\r\n");
    return path;
}

using Edits = QList<std::tuple<int, int, QString>>; // group, number, text

struct Frame {
    int station, function, start, length;
    bool operator==(const Frame &o) const = default;
};

// The write requests (functions 6 and 16) the drive heard, in order.
QList<Frame> writes(const SimDrive &drive)
{
    QList<Frame> out;
    for (const QByteArray &r : drive.requests()) {
        const int fc = uint8_t(r[1]);
        if (fc == 6 || fc == 16)
            out << Frame{uint8_t(r[0]), fc, (uint8_t(r[2]) << 8) | uint8_t(r[3]), int(r.size())};
    }
    return out;
}

// Requests 2 .. 11 of a run after P1, to the given station.
QList<Frame> afterP1(int station)
{
    return {{station, 16, 200, 141}, {station, 16, 300, 105}, {station, 16, 400, 65}, {station, 16, 500, 97},
            {station, 16, 600, 45},  {station, 16, 700, 57},  {station, 16, 800, 49}, {station, 16, 900, 41},
            {station, 6, 218, 10},   {station, 6, 232, 10}};
}

char *toString(const Frame &f)
{
    return QTest::toString(QStringLiteral("st%1 fc%2 @%3 len%4").arg(f.station).arg(f.function).arg(f.start).arg(f.length));
}

} // namespace

class TestDownload : public QObject {
    Q_OBJECT

    // The window on a rig that is on line, its file chosen.
    TForm_DownLoad *openWindow(MainRig &rig, const QString &path)
    {
        rig.messages.files = {path};
        rig.main.Download1Click();
        return rig.main.findChild<TForm_DownLoad *>();
    }
    QPushButton *writeButton(TForm_DownLoad *w) { return w->findChild<QPushButton *>(QStringLiteral("Btn_DownLoad")); }

private slots:
    void checksStopAtTheFirstFailureWithItsMessage_data()
    {
        QTest::addColumn<int>("motor");
        QTest::addColumn<Edits>("edits");
        QTest::addColumn<QStringList>("messages");
        using E = Edits;
        QTest::newRow("P2-05 above its maximum") << 0 << E{{2, 5, "7000"}} << QStringList{"Wrong P2 Data5"};
        QTest::newRow("P3-10 empty") << 0 << E{{3, 10, ""}} << QStringList{"Wrong P3 Data"};
        QTest::newRow("P4-02 not a number") << 0 << E{{4, 2, "abc"}} << QStringList{"Invalid Data"};
        QTest::newRow("P1-03 below its minimum") << 0 << E{{1, 3, "0.09"}} << QStringList{"Wrong P1 Data"};
        QTest::newRow("P1-03 at its minimum") << 0 << E{{1, 3, "0.1"}} << QStringList{};
        QTest::newRow("only the first failing group speaks")
            << 0 << E{{2, 33, "-1"}, {3, 1, "x"}, {9, 1, "99999"}} << QStringList{"Wrong P2 Data33"};
        QTest::newRow("P9") << 0 << E{{9, 8, "99999"}} << QStringList{"Wrong P9 Data"};
        QTest::newRow("motor lines are not examined for a listed motor") << 5 << E{{1, 3, "rubbish"}} << QStringList{};
        QTest::newRow("listed motor: code and motor data both fail")
            << 100 << E{{1, 12, "11"}} << QStringList{"Wrong P1- Data", "Wrong P1-- Data"};
        QTest::newRow("listed motor: bad motor data") << 5 << E{{1, 20, "2"}} << QStringList{"Wrong P1-- Data"};
        QTest::newRow("fraction for a whole-number parameter") << 0 << E{{5, 1, "1.5"}} << QStringList{"Wrong parameter"};
        QTest::newRow("whole value wider than a register") << 0 << E{{1, 14, "70000"}} << QStringList{"Wrong parameter"};
        QTest::newRow("unreadable bytes") << 0 << E{{6, 2, QString(QChar::ReplacementCharacter)}} << QStringList{"Invalid Data"};
    }

    void checksStopAtTheFirstFailureWithItsMessage()
    {
        QFETCH(int, motor);
        QFETCH(Edits, edits);
        QFETCH(QStringList, messages);
        QStringList lines = validLines(motor);
        for (const auto &[g, n, text] : edits)
            lines[lineOf(g, n)] = text;
        const DownloadCheck check = CheckDownloadLines(lines);
        QCOMPARE(check.messages, messages);
        QCOMPARE(check.plan.has_value(), messages.isEmpty());
    }

    // Beside each message: the line and what it holds, printable and short, whatever the file.
    void theMessageSaysWhichLineAndWhatItHolds()
    {
        QStringList lines = validLines(0);
        lines[lineOf(4, 3)] = QStringLiteral("abc");
        DownloadCheck check = CheckDownloadLines(lines);
        QCOMPARE(check.messages, QStringList{"Invalid Data"});
        QCOMPARE(check.details, QStringList{QStringLiteral("Line %1 (P4-03) holds \"abc\".").arg(lineOf(4, 3) + 1)});

        lines = validLines(0);
        lines[lineOf(6, 2)] = QString(QChar::ReplacementCharacter).repeated(300) + QStringLiteral("x") + QString(QChar(0x01)).repeated(5)
                              + QStringLiteral("y").repeated(80);
        check = CheckDownloadLines(lines);
        QCOMPARE(check.messages, QStringList{"Invalid Data"});
        const QString detail = check.details.value(0);
        QVERIFY2(!detail.contains(QChar::ReplacementCharacter) && !detail.contains(QChar(0x01)), qPrintable(detail));
        const QString quoted = detail.section(QLatin1Char('"'), 1, 1);
        QVERIFY2(quoted.size() <= 40 && quoted.startsWith(QStringLiteral("?x?yyy")), qPrintable(quoted));

        lines = validLines(0);
        lines[lineOf(2, 5)] = QString();
        check = CheckDownloadLines(lines);
        QCOMPARE(check.messages, QStringList{"Wrong P2 Data5"});
        QCOMPARE(check.details, QStringList{QStringLiteral("Line %1 (P2-05) is empty.").arg(lineOf(2, 5) + 1)});
    }

    void aMotorCodeThatIsNotAWholeNumberIsNamed()
    {
        for (const QString &text : {QStringLiteral("5.5"), QStringLiteral(""), QStringLiteral("five")}) {
            QStringList lines = validLines(0);
            lines[1] = text;
            const DownloadCheck check = CheckDownloadLines(lines);
            QVERIFY(!check.plan);
            QCOMPARE(check.messages.size(), 1);
            QVERIFY2(check.messages[0].contains(QStringLiteral("\"%1\"").arg(text)), qPrintable(check.messages[0]));
        }
        // A file cut short: the missing lines are empty values.
        const DownloadCheck shortFile = CheckDownloadLines(validLines(0).mid(0, 30));
        QCOMPARE(shortFile.messages, QStringList{"Wrong P2 Data9"});
    }

    void writesTheFileWithTheRequestsOfItsMotorCode()
    {
        for (int motor : {0, 5}) {
            MainRig rig;
            rig.usePort(1);
            QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
            QTemporaryDir dir;
            QStringList lines = validLines(motor);
            lines[lineOf(1, 18)] = QStringLiteral("3");
            lines[lineOf(3, 2)] = QStringLiteral("12.5");
            const QString path = writeFile(dir, lines);

            TForm_DownLoad *w = openWindow(rig, path);
            QVERIFY(w);
            QVERIFY(!rig.main.isEnabled());
            QVERIFY(!rig.main.poller());
            QCOMPARE(w->windowTitle(), QStringLiteral("DownLoad Preview ") + path);
            QCOMPARE(w->memo()->toPlainText().split(QLatin1Char('\n')), lines);
            QVERIFY(!writeButton(w)->isHidden());

            rig.drive->clearTraffic();
            rig.messages.shown.clear();
            rig.messages.answers = {true};
            QPointer<TForm_DownLoad> alive(w);
            writeButton(w)->click();

            QCOMPARE(rig.messages.shown,
                     (QStringList{QStringLiteral(" %1 DownLoad. Are you sure?").arg(path), "DownLoad Complete!!!"}));
            // The guard's two reads come first.
            QCOMPARE(rig.drive->requests().value(0).mid(1, 3), QByteArray::fromHex("0302bc"));
            QCOMPARE(rig.drive->requests().value(1).mid(1, 3), QByteArray::fromHex("03001a"));
            QList<Frame> expected = motor == 0 ? QList<Frame>{{1, 16, 100, 89}}
                                               : QList<Frame>{{1, 16, 100, 13}, {1, 16, 109, 53}};
            expected += afterP1(3);
            QCOMPARE(writes(*rig.drive), expected);
            QCOMPARE(rig.drive->station(), uint8_t(3));
            QCOMPARE(rig.drive->registerValue(301), 12.5);
            QCOMPARE(rig.main.session().req.stationNumber, uint8_t(3));
            // Step size 1 stays after a completed run.
            QCOMPARE(rig.main.processWindow()->step(), 1);
            QVERIFY(rig.main.processWindow()->isHidden());
            QTRY_VERIFY(alive.isNull());
            QTRY_VERIFY(rig.main.poller() && rig.main.poller()->isRunning());
            QCOMPARE(rig.main.pollerPriority(), QThread::TimeCriticalPriority);
            QVERIFY(rig.main.isEnabled());
        }
    }

    void aFileSavedByTheToolGoesBackUnchanged()
    {
        MainRig rig;
        rig.usePort(1);
        rig.drive->setRegister(100, 5);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QTemporaryDir dir;
        rig.messages.answers = {true};
        rig.messages.files = {dir.filePath(QStringLiteral("saved.vpf"))};
        rig.main.UpLoad1Click();
        QCOMPARE(rig.main.pollerPriority(), QThread::NormalPriority);
        rig.main.findChild<TForm_Save_Report *>()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        TForm_DownLoad *w = openWindow(rig, dir.filePath(QStringLiteral("saved.vpf")));
        QCOMPARE(w->memo()->toPlainText().split(QLatin1Char('\n')).size(), kParamFileLines);
        rig.drive->clearTraffic();
        rig.messages.shown.clear();
        rig.messages.answers = {true};
        writeButton(w)->click();
        QCOMPARE(rig.messages.shown.last(), QStringLiteral("DownLoad Complete!!!"));
        const QList<Frame> expected = QList<Frame>{{1, 16, 100, 13}, {1, 16, 109, 53}} + afterP1(1);
        QCOMPARE(writes(*rig.drive), expected);
    }

    // Compare from the preview: exactly the parameters changed on the drive differ, listed
    // first; writing the ticked ones sends one write each for those alone and reads them
    // back; a guarded row is refused while the servo is on, with nothing sent.
    void compareAndWriteOnlyTheTickedRows()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QTemporaryDir dir;
        rig.messages.answers = {true};
        rig.messages.files = {dir.filePath(QStringLiteral("saved.vpf"))};
        rig.main.UpLoad1Click();
        rig.main.findChild<TForm_Save_Report *>()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        rig.drive->setRegister(304, 55.5);                          // P3-05
        rig.drive->setRegister(401, 123);                           // P4-02
        rig.drive->setRegister(110, rig.drive->registerValue(110) + 1); // P1-11, servo-guarded
        TForm_DownLoad *w = openWindow(rig, dir.filePath(QStringLiteral("saved.vpf")));
        rig.drive->clearTraffic();
        TForm_Compare *compare = w->compareWithDrive();
        QVERIFY(compare);
        QVERIFY(writes(*rig.drive).isEmpty()); // comparing only reads
        QCOMPARE(compare->comparison().rows.size(), size_t(152));
        QStringList differing;
        for (const ParamDifference &d : compare->comparison().differences())
            differing << d.id;
        QCOMPARE(differing, (QStringList{"P1-11", "P3-05", "P4-02"}));
        QTableWidget *table = compare->table();
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("\u25B6 P1-11")); // differing rows first, marked
        QCOMPARE(table->item(3, 1)->text(), QStringLiteral("P1-01"));
        QCOMPARE(compare->findChild<QLabel *>(QStringLiteral("lbl_CompareSummary"))->text(),
                 QStringLiteral("3 of 152 parameters differ"));

        // Servo on: the guarded row is refused and nothing is written at all.
        rig.drive->setServoOn(true);
        table->item(0, 0)->setCheckState(Qt::Checked);
        table->item(1, 0)->setCheckState(Qt::Checked);
        rig.drive->clearTraffic();
        compare->findChild<QPushButton *>(QStringLiteral("btn_WriteTicked"))->click();
        QVERIFY(writes(*rig.drive).isEmpty());
        QCOMPARE(rig.messages.shown.last(), QStringLiteral("Seovo On!!"));

        // Servo off, P1-11 unticked: P3-05 alone is written, read back, and the table updated.
        rig.drive->setServoOn(false);
        table->item(0, 0)->setCheckState(Qt::Unchecked);
        QCOMPARE(compare->ticked(), (std::set<QString>{"P3-05"}));
        rig.drive->clearTraffic();
        rig.messages.answers = {true};
        compare->findChild<QPushButton *>(QStringLiteral("btn_WriteTicked"))->click();
        QCOMPARE(writes(*rig.drive), (QList<Frame>{{1, 6, 304, 10}}));
        QCOMPARE(rig.messages.shown.last(), QStringLiteral("DownLoad Complete!!!"));
        QCOMPARE(rig.drive->registerValue(401), 123.0); // not ticked, not touched
        QCOMPARE(compare->comparison().differing, 2);
        QVERIFY(w->isVisible()); // the preview stays for more
    }

    void aBadFileWritesNothingAndCanBeCorrected()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QTemporaryDir dir;
        QStringList lines = validLines(0);
        lines[lineOf(2, 5)] = QStringLiteral("7000");
        const QString path = writeFile(dir, lines);
        TForm_DownLoad *w = openWindow(rig, path);
        rig.drive->clearTraffic();
        rig.messages.shown.clear();
        rig.messages.answers = {true};
        writeButton(w)->click();
        QCOMPARE(rig.messages.shown.last(), QStringLiteral("Wrong P2 Data5"));
        QVERIFY(writes(*rig.drive).isEmpty());
        QVERIFY(rig.main.processWindow()->isHidden());
        QVERIFY(w->isVisible());

        lines[lineOf(2, 5)] = QStringLiteral("6000");
        writeFile(dir, lines);
        rig.messages.answers = {true};
        writeButton(w)->click();
        QCOMPARE(rig.messages.shown.last(), QStringLiteral("DownLoad Complete!!!"));
        QCOMPARE(rig.drive->registerValue(204), 6000.0);

        // A file that went away between the preview and the run.
        TForm_DownLoad *again = openWindow(rig, path);
        QVERIFY(again);
        QFile::remove(path);
        rig.drive->clearTraffic();
        rig.messages.answers = {true};
        writeButton(again)->click();
        QVERIFY(rig.messages.shown.last().contains(path));
        QVERIFY(writes(*rig.drive).isEmpty());
        QVERIFY(rig.main.processWindow()->isHidden());
    }

    void servoOnAndCancelledChoices()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QTemporaryDir dir;
        const QString path = writeFile(dir, validLines(0));
        TForm_DownLoad *w = openWindow(rig, path);
        QVERIFY(rig.drive->setServoOn(true));
        rig.drive->clearTraffic();
        rig.messages.shown.clear();
        writeButton(w)->click();
        QCOMPARE(rig.messages.shown, QStringList{"Seovo On!!"});
        QCOMPARE(rig.drive->requests().size(), 2);

        // No to the question: nothing written either.
        rig.drive->setServoOn(false);
        rig.messages.answers = {false};
        writeButton(w)->click();
        QVERIFY(writes(*rig.drive).isEmpty());
        w->close();
        QTRY_VERIFY(rig.main.poller());
        const int started = rig.main.pollersStarted();

        // A cancelled file dialog: an empty window, only "Close" left.
        rig.messages.files.clear();
        rig.main.Download1Click();
        auto *empty = rig.main.findChild<TForm_DownLoad *>();
        QVERIFY(empty && empty->memo()->toPlainText().isEmpty());
        QVERIFY(writeButton(empty)->isHidden());
        empty->findChild<QPushButton *>(QStringLiteral("Btn_Cancel"))->click();
        QTRY_COMPARE(rig.main.pollersStarted(), started + 1);
        QVERIFY(rig.main.isEnabled());
    }

    void lostAndRefusedReplies_data()
    {
        QTest::addColumn<int>("atProgress");  // when the fault is set: after this group
        QTest::addColumn<int>("drop");        // replies dropped from then on
        QTest::addColumn<int>("refuse");      // requests refused from then on
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("lastStart");   // the last register written
        // The drive took the last two writes and only their replies were lost: the values read
        // back are the file's, so the run is complete.
        QTest::newRow("last two unanswered") << 90 << 2 << 0 << "DownLoad Complete!!!" << 232;
        QTest::newRow("an early group unanswered") << 20 << 1 << 0 << "DownLoad Complete!!!" << 232;
        QTest::newRow("link lost after P2") << 20 << 100 << 0 << "DownLoad Failed!!!" << 500;
        QTest::newRow("an early group refused") << 20 << 0 << 1 << "DownLoad Failed!!!" << 232;
    }

    void lostAndRefusedReplies()
    {
        QFETCH(int, atProgress);
        QFETCH(int, drop);
        QFETCH(int, refuse);
        QFETCH(QString, message);
        QFETCH(int, lastStart);
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QTemporaryDir dir;
        TForm_DownLoad *w = openWindow(rig, writeFile(dir, validLines(0)));
        QPointer<TForm_DownLoad> alive(w);
        auto *bar = rig.main.processWindow()->findChild<QProgressBar *>();
        QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
            if (v != atProgress)
                return;
            if (drop)
                rig.drive->dropNextReplies(drop);
            if (refuse)
                rig.drive->exceptionNextReplies(refuse, 3);
        });
        rig.drive->clearTraffic();
        rig.messages.shown.clear();
        rig.messages.answers = {true};
        writeButton(w)->click();
        QCOMPARE(rig.messages.shown.last(), message);
        QCOMPARE(writes(*rig.drive).last().start, lastStart);
        const bool failed = message == QLatin1String("DownLoad Failed!!!");
        QVERIFY(rig.main.processWindow()->isHidden());
        QCOMPARE(rig.main.processWindow()->step(), failed ? 10 : 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(alive.isNull(), !failed);
        QCOMPARE(rig.main.session().link.linkFailed == 1, failed && drop > 0);
        // A refused group is read back as what the drive still holds, and named.
        if (refuse)
            QVERIFY2(rig.messages.details.last().startsWith(QStringLiteral("The drive does not hold these values")),
                     qPrintable(rig.messages.details.last()));
    }

    // A write that never reached the drive, though the run went on: the read-back finds it.
    void aLostWriteIsFoundByTheReadBack()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QTemporaryDir dir;
        QStringList lines = validLines(0);
        lines[lineOf(4, 5)] = QStringLiteral("555");
        TForm_DownLoad *w = openWindow(rig, writeFile(dir, lines));
        QVERIFY(rig.drive->registerValue(404) != 555.0);
        auto *bar = rig.main.processWindow()->findChild<QProgressBar *>();
        // P4's request goes out while the drive hears nothing; it answers again for P5.
        QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
            if (v == 30)
                rig.drive->setSilent(true);
            if (v == 40)
                rig.drive->setSilent(false);
        });
        rig.messages.shown.clear();
        rig.messages.answers = {true};
        writeButton(w)->click();
        QCOMPARE(rig.messages.shown.last(), QStringLiteral("DownLoad Failed!!!"));
        QVERIFY2(rig.messages.details.last().contains(QStringLiteral("P4-05: file 555, drive ")),
                 qPrintable(rig.messages.details.last()));
        QCOMPARE(rig.main.session().link.linkFailed.load(), uint8_t(0)); // the link is fine
        // The read-back's requests: every group after the writes.
        const QList<QByteArray> requests = rig.drive->requests();
        QCOMPARE(requests.mid(requests.size() - 9).first(), ReadFrame(1, 100, 20));
    }
};

QTEST_MAIN(TestDownload)
#include "tst_download.moc"
