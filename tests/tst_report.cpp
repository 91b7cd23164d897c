#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QTest>

#include "FileSizeLimit.h"
#include "MainRig.h"
#include "link/Transactions.h"
#include "link/Texts.h"
#include "monitor/AlarmCommands.h"
#include "params/Catalogue.h"
#include "report/ReportWindow.h"
#include "widgets/ProcessWindow.h"

using namespace velmora;

namespace {

constexpr int kL = ReportSheet::kLeftValueColumn;
constexpr int kR = ReportSheet::kRightValueColumn;
constexpr int kS = ReportSheet::kStatusValueColumn;

// Inputs and outputs as pins, bit i = pin i; lopsided so an order mistake shows.
constexpr uint16_t kInputPins = 0b0001'0101'0110;
constexpr uint16_t kOutputPins = 0b10'0110'0101;

int groupSize(int group)
{
    return int(ParamGroups[size_t(group - 1)].defs.size());
}

// The report window on the simulated drive, opened as the main window opens it: on line,
// a few polls behind it so the I/O states are known, the poller stopped.
struct ReportRig {
    MainRig rig;
    AlarmHistoryState history;
    std::unique_ptr<TForm_Report> window;

    bool start()
    {
        rig.drive->setInputs(kInputPins);
        rig.drive->setOutputs(kOutputPins);
        rig.usePort(1);
        if (!rig.main.onLineSequence(QStringLiteral("1")) || !rig.waitPollCycles(2))
            return false;
        rig.main.stopPoller();
        window = std::make_unique<TForm_Report>(rig.main.session(), rig.main.paramTexts(), history, process());
        return true;
    }
    TForm_Process &process() { return *rig.main.processWindow(); }
    QString cell(int row, int column) const { return window->sheet().text(row, column); }
};

// Every non-empty cell as "row,column" -> text.
QMap<QString, QString> cellsOf(const ReportSheet &sheet)
{
    QMap<QString, QString> cells;
    for (int row = 1; row <= ReportSheet::kRows; ++row) {
        for (int column = 1; column <= ReportSheet::kColumns; ++column) {
            if (!sheet.text(row, column).isEmpty())
                cells.insert(QStringLiteral("%1,%2").arg(row).arg(column), sheet.text(row, column));
        }
    }
    return cells;
}

// Each workbook's sheet names, cells as texts (whole numbers without ".0") and column widths.
// Opened as a stream: openpyxl judges a file name by its extension, not its content.
const char kReadBack[] = R"(
import json, sys, openpyxl
def text(v):
    return str(int(v)) if isinstance(v, float) and v.is_integer() else str(v)
out = []
for path in sys.argv[1:]:
    with open(path, "rb") as f:
        wb = openpyxl.load_workbook(f)
    ws = wb.active
    cells = {"%d,%d" % (c.row, c.column): text(c.value) for row in ws.iter_rows() for c in row if c.value is not None}
    widths = {k: d.width for k, d in ws.column_dimensions.items()}
    changes = [[text(v) if v is not None else "" for v in row] for row in wb["CHANGES"].iter_rows(values_only=True)] if "CHANGES" in wb.sheetnames else []
    out.append({"sheets": wb.sheetnames, "cells": cells, "widths": widths, "changes": changes})
print(json.dumps(out))
)";

} // namespace

class TestReport : public QObject {
    Q_OBJECT
private slots:
    void templateLayout()
    {
        const ReportSheet sheet;
        // Each group's first and last parameter: code, and where its values go.
        const struct {
            int group, column, firstRow, lastRow;
        } places[] = {{1, kL, 2, 21}, {2, kL, 22, 54}, {3, kL, 55, 78}, {4, kR, 2, 15}, {5, kR, 16, 37},
                      {6, kR, 38, 46}, {7, kR, 47, 58}, {8, kR, 59, 68}, {9, kR, 69, 76}};
        for (const auto &p : places) {
            QVERIFY(ReportSheet::groupPlace(p.group) == (ReportPlace{p.column, p.firstRow}));
            QCOMPARE(sheet.text(p.firstRow, p.column - 2), QStringLiteral("P0%1-01").arg(p.group));
            QCOMPARE(sheet.text(p.lastRow, p.column - 2),
                     QStringLiteral("P0%1-%2").arg(p.group).arg(groupSize(p.group), 2, 10, QLatin1Char('0')));
        }

        // Headers, names as the report spells them, marks where they stand, status labels.
        const struct {
            int row, column;
            const char *text;
        } cells[] = {
            {1, 2, "Manu"}, {1, 8, "Value"}, {1, 10, "ALM History"}, {2, 3, "Motor ID."},
            {6, 3, "Phase Resistance [\u03A9]"}, {66, 3, "S-Mode TC ms]"}, {50, 3, "Parameter INIT"},
            {2, 7, "Spped1 [rpm]"}, {26, 7, "FF TC[ms]"}, {68, 7, "CN1-44"}, {76, 7, "Monitor Offset2 [mV]"},
            {2, 1, "*"}, {3, 1, ""}, {50, 1, "*"}, {38, 5, "*"}, {39, 5, ""}, {2, 10, "1"}, {11, 10, "10"},
            {12, 10, "Status"}, {13, 10, "Input"}, {14, 10, "SVONEN"}, {25, 10, "ALMRST"}, {26, 10, "Output"},
            {27, 10, "BRK"}, {32, 10, "ALARM "}, {36, 10, "A_CODE3"}, {37, 10, ""},
        };
        for (const auto &c : cells)
            QCOMPARE(sheet.text(c.row, c.column), QString::fromUtf8(c.text));
        // Each P9 row names the parameter whose value stands beside it.
        for (int i = 0; i < 8; ++i) {
            const QString label = sheet.text(69 + i, 7);
            QVERIFY2(label.startsWith(QLatin1String(P9Rows[size_t(i)].name)), qPrintable(label));
            QVERIFY2(!label.mid(int(qstrlen(P9Rows[size_t(i)].name))).contains(QRegularExpression(QStringLiteral("\\d"))),
                     qPrintable(label));
        }

        // The value cells are exactly the ones filled, and start empty.
        QSet<QPair<int, int>> expected, listed;
        for (int row = 2; row <= 78; ++row) {
            expected << QPair{row, kL};
            if (row <= 76)
                expected << QPair{row, kR};
            if (row <= 36 && row != 12 && row != 13 && row != 26)
                expected << QPair{row, kS};
        }
        for (const ReportCell &cell : ReportSheet::valueCells()) {
            listed << QPair{cell.row, cell.column};
            QVERIFY(sheet.text(cell.row, cell.column).isEmpty());
        }
        QCOMPARE(listed, expected);
        QCOMPARE(int(ReportSheet::valueCells().size()), expected.size());
    }

    void readFillsAndOverwritesTheValueCells_data()
    {
        QTest::addColumn<int>("motor");
        QTest::newRow("custom motor") << 0;
        QTest::newRow("motor from the list") << 3;
    }
    void readFillsAndOverwritesTheValueCells()
    {
        QFETCH(int, motor);
        ReportRig r;
        for (auto [address, value] : {std::pair<uint16_t, double>{100, motor}, {101, 2.85}, {108, 24}, {907, -12.5}})
            r.rig.drive->setRegister(address, value);
        QVERIFY(r.start());
        for (int n = 1; n <= 10; ++n)
            QVERIFY(r.rig.drive->raiseAlarm(n)); // newest first: entry 1 is alarm 10

        r.window->Button_ReadClick();
        QVERIFY(!r.process().isVisible());
        QCOMPARE(r.rig.messages.shown, QStringList());
        QCOMPARE(r.cell(2, kL), QString::number(motor));
        for (int row = 3; row <= 10; ++row)
            QCOMPARE(r.cell(row, kL) == QLatin1String("default"), motor != 0);
        if (motor == 0)
            QVERIFY(r.cell(3, kL) == QLatin1String("2.85") && r.cell(10, kL) == QLatin1String("24"));
        QCOMPARE(r.cell(11, kL), QStringLiteral("8")); // P1-10 is never replaced
        QCOMPARE(r.cell(76, kR), QStringLiteral("-12.5"));
        // Every group, in full, as its reader left it.
        ParamTexts &texts = r.rig.main.paramTexts();
        for (int g = 1; g <= 9; ++g) {
            const ReportPlace place = ReportSheet::groupPlace(g);
            QCOMPARE(texts.P(g).size(), groupSize(g));
            for (int i = 0; i < groupSize(g); ++i)
                QCOMPARE(r.cell(place.firstRow + i, place.column), texts.P(g)[i]);
        }

        QCOMPARE(r.cell(2, kS), AlarmLabel(10));
        QCOMPARE(r.cell(11, kS), AlarmLabel(1));
        for (int i = 0; i < ReportSheet::kInputCount; ++i)
            QCOMPARE(r.cell(14 + i, kS), QString::number((kInputPins >> i) & 1));
        // Output rows follow the lamps: pins 1..9, then pin 0.
        for (int i = 1; i <= 9; ++i)
            QCOMPARE(r.cell(26 + i, kS), QString::number((kOutputPins >> i) & 1));
        QCOMPARE(r.cell(36, kS), QString::number(kOutputPins & 1));

        // A second read overwrites every value cell: each block starts again at its first row.
        ReportSheetModel &model = *r.window->model();
        for (const ReportCell &cell : ReportSheet::valueCells())
            QVERIFY(model.setData(model.index(cell.row - 1, cell.column - 1), QStringLiteral("stale")));
        r.rig.drive->setRegister(401, 777);
        r.window->Button_ReadClick();
        for (const ReportCell &cell : ReportSheet::valueCells()) {
            const QString text = r.cell(cell.row, cell.column);
            QVERIFY2(!text.isEmpty() && text != QLatin1String("stale"),
                     qPrintable(QStringLiteral("row %1 column %2: '%3'").arg(cell.row).arg(cell.column).arg(text)));
        }
        QCOMPARE(r.cell(3, kR), QStringLiteral("777"));
    }

    void aLostReplyIsNeverShownAsAValue()
    {
        ReportRig r;
        QVERIFY(r.start());
        r.window->Button_ReadClick();
        QVERIFY(!r.cell(22, kL).isEmpty());

        // Lose P2's reply and the history's: the reader before each hands its texts over first.
        ParamTexts &texts = r.rig.main.paramTexts();
        texts.showOnPage[0] = texts.showOnPage[8] = [&](const QStringList &) { r.rig.drive->dropNextReplies(1); };
        r.window->Button_ReadClick();
        texts.showOnPage = {};
        QVERIFY(!r.process().isVisible());
        QCOMPARE(texts.P(2).size(), groupSize(2)); // the earlier read's texts are still there
        for (int row = 22; row <= 54; ++row)
            QCOMPARE(r.cell(row, kL), QString());
        for (int row = 2; row <= 11; ++row)
            QCOMPARE(r.cell(row, kS), QString());
        QCOMPARE(r.cell(21, kL), texts.P(1).last());
        QCOMPARE(r.cell(55, kL), texts.P(3).first());
        QCOMPARE(r.cell(14, kS), QString::number(kInputPins & 1));
        QVERIFY(r.rig.messages.shown.contains(QString::fromLatin1(texts::InstructionFail)));

        // Without P1's reply there is no motor code: the read stops and the page stays.
        const QMap<QString, QString> before = cellsOf(r.window->sheet());
        r.rig.messages.shown.clear();
        r.rig.drive->dropNextReplies(1);
        r.window->Button_ReadClick();
        QVERIFY(!r.process().isVisible());
        QCOMPARE(r.rig.messages.shown, QStringList{QStringLiteral("The motor code (P1-01) \"\" is not a whole number.")});
        QCOMPARE(cellsOf(r.window->sheet()), before);
    }

    void clearEmptiesOnlyValueCells()
    {
        ReportRig r;
        QVERIFY(r.start());
        const QMap<QString, QString> blank = cellsOf(ReportSheet());
        // Filled before it is first shown: showing it clears the page.
        r.window->Button_ReadClick();
        QVERIFY(cellsOf(r.window->sheet()) != blank);
        r.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(r.window.get()));
        QCOMPARE(cellsOf(r.window->sheet()), blank);

        r.window->Button_ReadClick();
        QVERIFY(cellsOf(r.window->sheet()) != blank);
        r.window->findChild<QPushButton *>(QStringLiteral("Button_Clear"))->click();
        QCOMPARE(cellsOf(r.window->sheet()), blank);
        // Only value cells can be edited in the view.
        ReportSheetModel &model = *r.window->model();
        QVERIFY(!(model.flags(model.index(1, 2)) & Qt::ItemIsEditable));
        QVERIFY(!model.setData(model.index(1, 2), QStringLiteral("x")));
        QVERIFY(model.flags(model.index(1, 3)) & Qt::ItemIsEditable);
    }

    void savedWorkbookReadsBack()
    {
        QProcess probe;
        probe.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
        if (!probe.waitForFinished(30000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
            QSKIP("/usr/bin/python3 with openpyxl is needed to read the workbook back (python3-openpyxl)");

        ReportRig r;
        r.rig.drive->setRegister(100, 3);
        r.rig.drive->setRegister(401, 234.5);
        QVERIFY(r.start());
        QVERIFY(r.rig.drive->raiseAlarm(2));
        r.window->Button_ReadClick();
        // A write of this session: the second sheet records it.
        QVERIFY(WriteRegister(r.rig.main.session(), 304, WriteWord{0, 40}).good());

        // A name without an extension gets ".vts"; either way the content is the same workbook.
        QTemporaryDir dir;
        r.rig.messages.files = {dir.filePath(QStringLiteral("report")), dir.filePath(QStringLiteral("copy.xlsx"))};
        r.window->Button_SaveClick();
        r.window->Button_SaveClick();
        QCOMPARE(r.rig.messages.shown, QStringList());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), (QStringList{"copy.xlsx", "report.vts"}));

        QProcess reader;
        reader.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"), QString::fromLatin1(kReadBack), dir.filePath(QStringLiteral("report.vts")),
                      dir.filePath(QStringLiteral("copy.xlsx"))});
        QVERIFY(reader.waitForFinished(60000));
        QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
        const QJsonArray books = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
        QCOMPARE(books.size(), 2);
        const QMap<QString, QString> expected = cellsOf(r.window->sheet());
        QVERIFY(expected.value(QStringLiteral("3,4")) == QLatin1String("default")
                && expected.value(QStringLiteral("3,8")) == QLatin1String("234.5"));
        for (const QJsonValue &book : books) {
            QCOMPARE(book[QLatin1String("sheets")].toArray(), (QJsonArray{QStringLiteral("REPORT"), QStringLiteral("CHANGES")}));
            const QJsonArray changes = book[QLatin1String("changes")].toArray();
            QCOMPARE(changes.size(), 2);
            QCOMPARE(changes[0].toArray().at(2).toString(), QStringLiteral("Parameter"));
            const QJsonArray written = changes[1].toArray();
            QCOMPARE(written.at(2).toString(), QStringLiteral("P3-05"));
            QCOMPARE(written.at(5).toString(), QStringLiteral("40"));
            QCOMPARE(written.at(7).toString(), QStringLiteral("good"));
            QMap<QString, QString> cells;
            const QJsonObject read = book[QLatin1String("cells")].toObject();
            for (auto it = read.begin(); it != read.end(); ++it)
                cells.insert(it.key(), it.value().toString());
            QCOMPARE(cells, expected);
            const QJsonObject widths = book[QLatin1String("widths")].toObject();
            QVERIFY(qAbs(widths[QLatin1String("C")].toDouble() - ReportSheet::columnWidth(3)) < 1.0);
        }
    }

    void failedSavesLeaveFilesAlone()
    {
        ReportRig r;
        QVERIFY(r.start());
        r.window->Button_ReadClick();
        RecordingMessageService &messages = r.rig.messages;
        QTemporaryDir dir;
        const auto folder = [&dir] { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); };

        // Cancelled: nothing written, nothing said.
        r.window->Button_SaveClick();
        QCOMPARE(folder(), QStringList());
        QCOMPARE(messages.shown, QStringList());
        // A folder that does not exist.
        messages.files = {dir.filePath(QStringLiteral("missing/report.vts"))};
        r.window->Button_SaveClick();
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(messages.shown[0].contains(QLatin1String("missing/report.vts")) && !messages.details.value(0).isEmpty());

        // A write that fails half way leaves the old file as it was, and no litter.
        const QString path = dir.filePath(QStringLiteral("report.vts"));
        messages.files = {path, path};
        r.window->Button_SaveClick();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray old = file.readAll();
        file.close();
        QVERIFY(old.size() > 2048);
        r.window->model()->setData(r.window->model()->index(1, 3), QStringLiteral("changed"));
        messages.shown.clear();
        messages.details.clear();
        {
            const FileSizeLimit limit(1024);
            r.window->Button_SaveClick();
        }
        QVERIFY(messages.shown.size() == 1 && !messages.details.value(0).isEmpty());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), old);
        QCOMPARE(folder(), QStringList{"report.vts"});
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
