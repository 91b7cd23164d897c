#include "report/Workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <span>
#include <unistd.h>

#include <xlsxwriter.h>

#include "params/Catalogue.h"

namespace velmora {

namespace {

// The report's own parameter names. They differ in places from the page captions (and
// keep their own spelling), so they are listed here rather than taken from the catalogue.
// A leading '*' is the mark column's "*", not part of the name.
constexpr const char *kP1Names[] = {
    "*Motor ID.", "Inertia [gfcm^2]", "TRQ Constant [kgfcm/A]", "Phase Inductance [mH]",
    "Phase Resistance [\u03A9]", "Rated Current [A]", "Rated Speed [rpm]", "MAX Speed [rpm]",
    "Rated TRQ [kgfcm]", "Pole Number [pole]", "*Drive ID", "*Encoder ID", "*Encoder Pulse [ppr]",
    "Pulse Out Rate [pulse]", "*COM Baud Rate", "*Serial Select", "*Serial I/O", "*Serial ID",
    "Parameter Lock", "*Serial Origin",
};
constexpr const char *kP2Names[] = {
    "*Control Mode", "Mode Change Time [ms]", "CCW TRQ LMT [%]", "CW TRQ LMT [%]",
    "CCW Speed Limit [rpm]", "CW Speed Limit [rpm]", "Brake Speed [rpm]", "Brake Time [ms]", "DB Mode",
    "Notch Filter1", "NF Frequency1 [Hz]", "NF Bandwidth1 [%]", "Notch Filter2", "NF Frequency2 [Hz]",
    "NF Bandwidth2 [%]", "TRQ Filter TC [ms]", "Auto Tuning", "System Response", "Inertia Ratio",
    "Gain ADJ Speed1 [rpm]", "Gain ADJ Speed2 [rpm]", "Gain ADJ TRQ1 [%]", "Gain ADJ TRQ2 [%]",
    "Contact Gain TC [ms]", "Temporary Stop", "Emergency Stop", "Direction Select", "Ripple COMPEN",
    "*Parameter INIT", "Servo OFF Delay time", "CW LIM", "CCW LIM", "Servo ON/OFF",
};
constexpr const char *kP3Names[] = {
    "*Speed Gain Mode", "PI-IP Control % [%]", "Friction COMPEN [%]", "Load COMPEN [%]",
    "SC Loop Gain1 [Hz]", "SC TC1 [ms]", "SC Loop Gain2 [Hz]", "SC TC2 [ms]", "Analog CMD TC [ms]",
    "ACCEL Time [ms]", "DECEL Time [ms]", "*S-Mode TC ms]", "In Speed Range [rpm]",
    "Zero Speed Range [rpm]", "*Analog +10[V] RPM [rpm]", "*Analog -10[V] RPM [rpm]", "Auto Offset",
    "Manual Offset [mV]", "*Override ENB", "Clamp Mode", "Clamp Voltage [mV]", "*F/Back TC [ms]",
    "Zero SPD VIB REJ [rpm]", "*Feedforward TRQ",
};
constexpr const char *kP4Names[] = {
    "Spped1 [rpm]", "Speed2 [rpm]", "Speed3 [rpm]", "Speed4 [rpm]", "Speed5 [rpm]", "Speed6 [rpm]",
    "Speed7 [rpm]", "Torque1 [%]", "Torque2 [%]", "Torque3 [%]", "Torque4 [%]", "Torque5 [%]",
    "Torque6 [%]", "Torque7 [%]",
};
constexpr const char *kP5Names[] = {
    "*POS Gain Mode", "*POS Pulse Type", "Speed Mode", "Feedforward [%]", "PC P Gain1 [Hz]",
    "PC P Gain2 [Hz]", "PI-P Pulse ERR [pls]", "IN Position [pls]", "Follow ERR [pls]",
    "POS CMD TC [ms]", "FF TC[ms]", "*ELCTR Gear NUM1", "*ELCTR Gear DEN1", "*ELCTR Gear NUM2",
    "*ELCTR Gear DEN2", "*ELCTR Gear NUM3", "*ELCTR Gear DEN3", "*ELCTR Gear NUM4", "*ELCTR Gear DEN4",
    "Bias SPD COMPEN [rpm]", "Bias Pulse Band [pls]", "Backlash Pulse [pls]",
};
constexpr const char *kP6Names[] = {
    "*Analog TRQ TC [ms]", "TRQ ACCEL Time [ms]", "TRQ DECEL Time [ms]", "*TRQ S-Mode [ms]",
    "In TRQ Range [%]", "Stop TRQ Range [%]", "10[V] TRQ [%]", "Auto Offset", "Manual Offset [mV]",
};
constexpr const char *kP7Names[] = {
    "*CN1-18", "*CN1-43", "*CN1-17", "*CN1-42", "*CN1-16", "*CN1-41",
    "*CN1-15", "*CN1-40", "*CN1-14", "*CN1-39", "*CN1-13", "*CN1-38",
};
constexpr const char *kP8Names[] = {
    "*CN1-23", "*CN1-48", "*CN1-22", "*CN1-47", "*CN1-21", "*CN1-46", "*CN1-20", "*CN1-45", "*CN1-19", "*CN1-44",
};
// In the drive's own order, each beside its value: output 1's four settings, then output 2's
// (the unit goes with the offsets).
constexpr const char *kP9Names[] = {
    "Monitor1", "Monitor ABS1", "Monitor Scale1", "Monitor Offset1 [mV]",
    "Monitor2", "Monitor ABS2", "Monitor Scale2", "Monitor Offset2 [mV]",
};

constexpr std::array<std::span<const char *const>, 9> kGroupNames{{
    kP1Names, kP2Names, kP3Names, kP4Names, kP5Names, kP6Names, kP7Names, kP8Names, kP9Names,
}};

constexpr bool namesMatchCatalogue()
{
    for (size_t g = 0; g < kGroupNames.size(); ++g) {
        if (kGroupNames[g].size() != ParamGroups[g].defs.size())
            return false;
    }
    return true;
}
static_assert(namesMatchCatalogue(), "one report name per catalogue parameter");

constexpr const char *kInputLabels[ReportSheet::kInputCount] = {
    "SVONEN", "SPD1", "SPD2", "SPD3", "DIR", "P/PI", "CCWLIM", "CWLIM", "TLIM", "ESTOP", "STOP", "ALMRST",
};
// "ALARM " keeps its trailing space.
constexpr const char *kOutputLabels[ReportSheet::kOutputCount] = {
    "BRK", "INSPD", "ZSPD", "RDY", "TRQOUT", "ALARM ", "A_CODE0", "A_CODE1", "A_CODE2", "A_CODE3",
};

constexpr int kLastLeftGroup = 3;
constexpr int kLabelColumn = 10;
constexpr int kStatusRow = 12, kInputRow = 13, kOutputRow = 26;

// Characters per column: marks, codes, names, values; a spacer; status labels and values.
constexpr std::array<double, ReportSheet::kColumns> kColumnWidths{
    3, 8, 24, 10, 3, 8, 22, 10, 3, 12, 12,
};

constexpr int kLastHistoryRow = ReportSheet::kHistoryFirstRow + ReportSheet::kHistoryCount - 1;
constexpr int kLastStatusRow = ReportSheet::kOutputFirstRow + ReportSheet::kOutputCount - 1;

// The last row of the left or right block's values.
int lastValueRow(int column)
{
    const int lastGroup = column == ReportSheet::kLeftValueColumn ? kLastLeftGroup : 9;
    return ReportSheet::groupPlace(lastGroup).firstRow + int(ParamGroups[size_t(lastGroup - 1)].defs.size()) - 1;
}

QString groupCode(int group, int index)
{
    return QStringLiteral("P%1-%2").arg(group, 2, 10, QLatin1Char('0')).arg(index, 2, 10, QLatin1Char('0'));
}

// A text that is a plain decimal number and comes back as the same text from a double:
// no sign on zero, no leading or trailing zeros, at most 15 digits. Such values are stored
// as numbers so the spreadsheet can reckon with them; everything else stays text.
bool storesAsNumber(const QString &text, double *value)
{
    static const QRegularExpression plain(QStringLiteral(R"(^(?:0|-?[1-9]\d*|-?(?:0|[1-9]\d*)\.\d*[1-9])$)"));
    constexpr int kMaxDigits = 15;
    if (!plain.match(text).hasMatch())
        return false;
    int digits = 0;
    for (QChar c : text)
        digits += c.isDigit() ? 1 : 0;
    if (digits > kMaxDigits)
        return false;
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok;
}

// A new, empty file beside the target, created with the usual permissions for new files.
QString createPartFile(const QString &target, QString *error)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = info.dir().filePath(QStringLiteral(".%1.%2.part")
                                                     .arg(info.fileName())
                                                     .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            return {};
        }
    }
    *error = QStringLiteral("no free name for a temporary file");
    return {};
}

// Pushes a finished file to the disk before it replaces the old one.
bool syncFile(const QString &name)
{
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Builds the workbook into an existing file; the workbook is always released.
lxw_error writeTable(lxw_workbook *workbook, const TableSheet &table, lxw_format *header)
{
    lxw_worksheet *worksheet = workbook_add_worksheet(workbook, table.name.toUtf8().constData());
    if (!worksheet)
        return LXW_ERROR_MEMORY_MALLOC_FAILED;
    lxw_error status = LXW_NO_ERROR;
    for (int c = 0; c < table.headings.size() && status == LXW_NO_ERROR; ++c) {
        status = worksheet_set_column(worksheet, lxw_col_t(c), lxw_col_t(c), std::max<qsizetype>(10, table.headings[c].size() + 4), nullptr);
        if (status == LXW_NO_ERROR)
            status = worksheet_write_string(worksheet, 0, lxw_col_t(c), table.headings[c].toUtf8().constData(), header);
    }
    for (size_t r = 0; r < table.rows.size() && status == LXW_NO_ERROR; ++r) {
        const QStringList &row = table.rows[r];
        for (int c = 0; c < row.size() && status == LXW_NO_ERROR; ++c) {
            if (row[c].isEmpty())
                continue;
            double number = 0;
            status = storesAsNumber(row[c], &number)
                         ? worksheet_write_number(worksheet, lxw_row_t(r + 1), lxw_col_t(c), number, nullptr)
                         : worksheet_write_string(worksheet, lxw_row_t(r + 1), lxw_col_t(c), row[c].toUtf8().constData(), nullptr);
        }
    }
    return status;
}

bool writeWorkbook(const ReportSheet &sheet, const QByteArray &fileName, QString *error,
                   const std::vector<TableSheet> &more)
{
    lxw_workbook *workbook = workbook_new(fileName.constData());
    if (!workbook) {
        *error = QStringLiteral("the workbook could not be created");
        return false;
    }
    lxw_worksheet *worksheet = workbook_add_worksheet(workbook, "REPORT");
    lxw_format *header = workbook_add_format(workbook);
    lxw_format *mark = workbook_add_format(workbook);
    if (!worksheet || !header || !mark) {
        lxw_workbook_free(workbook);
        *error = QStringLiteral("the workbook could not be created");
        return false;
    }
    format_set_bold(header);
    format_set_align(mark, LXW_ALIGN_CENTER);

    lxw_error status = LXW_NO_ERROR;
    for (int column = 1; column <= ReportSheet::kColumns && status == LXW_NO_ERROR; ++column) {
        status = worksheet_set_column(worksheet, lxw_col_t(column - 1), lxw_col_t(column - 1),
                                      ReportSheet::columnWidth(column),
                                      ReportSheet::isMarkColumn(column) ? mark : nullptr);
    }
    for (int row = 1; row <= ReportSheet::kRows && status == LXW_NO_ERROR; ++row) {
        for (int column = 1; column <= ReportSheet::kColumns && status == LXW_NO_ERROR; ++column) {
            const QString text = sheet.text(row, column);
            if (text.isEmpty())
                continue;
            lxw_format *format = row == 1 ? header : ReportSheet::isMarkColumn(column) ? mark : nullptr;
            double number = 0;
            if (storesAsNumber(text, &number))
                status = worksheet_write_number(worksheet, lxw_row_t(row - 1), lxw_col_t(column - 1), number, format);
            else
                status = worksheet_write_string(worksheet, lxw_row_t(row - 1), lxw_col_t(column - 1),
                                                text.toUtf8().constData(), format);
        }
    }
    for (const TableSheet &table : more) {
        if (status == LXW_NO_ERROR)
            status = writeTable(workbook, table, header);
    }
    if (status != LXW_NO_ERROR) {
        lxw_workbook_free(workbook);
        *error = QString::fromLatin1(lxw_strerror(status));
        return false;
    }
    status = workbook_close(workbook);
    if (status != LXW_NO_ERROR) {
        *error = QString::fromLatin1(lxw_strerror(status));
        return false;
    }
    return true;
}

} // namespace

ReportSheet::ReportSheet()
{
    const char *const headers[] = {"Manu", "Name", "Value"};
    for (int i = 0; i < 3; ++i) {
        at(1, 2 + i) = QLatin1String(headers[i]);
        at(1, 6 + i) = QLatin1String(headers[i]);
    }
    at(1, kLabelColumn) = QStringLiteral("ALM History");

    for (int g = 1; g <= 9; ++g) {
        const ReportPlace place = groupPlace(g);
        const std::span<const char *const> names = kGroupNames[size_t(g - 1)];
        for (size_t i = 0; i < names.size(); ++i) {
            const int row = place.firstRow + int(i);
            QString name = QString::fromUtf8(names[i]);
            if (name.startsWith(QLatin1Char('*'))) {
                at(row, place.column - 3) = QStringLiteral("*");
                name.remove(0, 1);
            }
            at(row, place.column - 2) = groupCode(g, int(i) + 1);
            at(row, place.column - 1) = name;
        }
    }

    for (int i = 1; i <= kHistoryCount; ++i)
        at(kHistoryFirstRow + i - 1, kLabelColumn) = QString::number(i);
    at(kStatusRow, kLabelColumn) = QStringLiteral("Status");
    at(kInputRow, kLabelColumn) = QStringLiteral("Input");
    for (int i = 0; i < kInputCount; ++i)
        at(kInputFirstRow + i, kLabelColumn) = QLatin1String(kInputLabels[i]);
    at(kOutputRow, kLabelColumn) = QStringLiteral("Output");
    for (int i = 0; i < kOutputCount; ++i)
        at(kOutputFirstRow + i, kLabelColumn) = QLatin1String(kOutputLabels[i]);
}

bool ReportSheet::onPage(int row, int column)
{
    return row >= 1 && row <= kRows && column >= 1 && column <= kColumns;
}

QString ReportSheet::text(int row, int column) const
{
    if (!onPage(row, column))
        return {};
    return cells_[size_t((row - 1) * kColumns + column - 1)];
}

bool ReportSheet::isValueCell(int row, int column)
{
    if (row < 2)
        return false;
    switch (column) {
    case kLeftValueColumn:
    case kRightValueColumn:
        return row <= lastValueRow(column);
    case kStatusValueColumn:
        return row <= kLastHistoryRow || (row >= kInputFirstRow && row < kInputFirstRow + kInputCount)
            || (row >= kOutputFirstRow && row <= kLastStatusRow);
    default:
        return false;
    }
}

bool ReportSheet::setValue(int row, int column, const QString &text)
{
    if (!isValueCell(row, column))
        return false;
    at(row, column) = text;
    return true;
}

void ReportSheet::fillColumn(int column, int firstRow, int count, const QStringList &texts)
{
    for (int i = 0; i < count; ++i)
        setValue(firstRow + i, column, texts.value(i));
}

void ReportSheet::clearValues()
{
    for (const ReportCell &cell : valueCells())
        at(cell.row, cell.column).clear();
}

const std::vector<ReportCell> &ReportSheet::valueCells()
{
    static const std::vector<ReportCell> cells = [] {
        std::vector<ReportCell> list;
        for (int column : {kLeftValueColumn, kRightValueColumn, kStatusValueColumn}) {
            for (int row = 1; row <= kRows; ++row) {
                if (isValueCell(row, column))
                    list.push_back({row, column});
            }
        }
        return list;
    }();
    return cells;
}

ReportPlace ReportSheet::groupPlace(int group)
{
    // Each block lists its groups one after another from row 2.
    const bool left = group <= kLastLeftGroup;
    int row = 2;
    for (int g = left ? 1 : kLastLeftGroup + 1; g < group; ++g)
        row += int(ParamGroups[size_t(g - 1)].defs.size());
    return {left ? kLeftValueColumn : kRightValueColumn, row};
}

double ReportSheet::columnWidth(int column)
{
    return onPage(1, column) ? kColumnWidths[size_t(column - 1)] : 0.0;
}

bool SaveWorkbook(const ReportSheet &sheet, const QString &path, QString *error, const std::vector<TableSheet> &more)
{
    QString why;
    // Built beside the target and renamed over it only when complete: ::rename replaces
    // the old file in one step, so a failed save never destroys the file it was to replace.
    const QString part = createPartFile(path, &why);
    bool ok = !part.isEmpty();
    if (ok)
        ok = writeWorkbook(sheet, QFile::encodeName(part), &why, more);
    // A replaced file keeps its permissions.
    if (ok && QFileInfo::exists(path))
        QFile::setPermissions(part, QFile::permissions(path));
    if (ok && !syncFile(part)) {
        why = QString::fromLocal8Bit(std::strerror(errno));
        ok = false;
    }
    if (ok && ::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
        why = QString::fromLocal8Bit(std::strerror(errno));
        ok = false;
    }
    if (!ok) {
        if (!part.isEmpty())
            ::unlink(QFile::encodeName(part).constData());
        if (error)
            *error = why;
    }
    return ok;
}

} // namespace velmora
