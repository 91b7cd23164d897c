#pragma once

// The report page: a fixed template of labels (codes, names, marks, alarm and status
// labels) with value cells the report window fills, and the workbook writer that saves it.
// No widgets here.

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace velmora {

// A cell of the page, row and column counted from 1 (A = 1).
struct ReportCell {
    int row;
    int column;
    bool operator==(const ReportCell &) const = default;
};

// Where a parameter group's values go: its value column and the row of its first parameter.
struct ReportPlace {
    int column;
    int firstRow;
    bool operator==(const ReportPlace &) const = default;
};

class ReportSheet {
public:
    static constexpr int kRows = 78;
    static constexpr int kColumns = 11;

    // Value columns: left block (P1-P3), right block (P4-P9), alarm history and I/O states.
    static constexpr int kLeftValueColumn = 4;
    static constexpr int kRightValueColumn = 8;
    static constexpr int kStatusValueColumn = 11;
    static constexpr int kHistoryFirstRow = 2;  // entries 1..10 in rows 2..11
    static constexpr int kHistoryCount = 10;
    static constexpr int kInputFirstRow = 14;   // twelve inputs in rows 14..25
    static constexpr int kOutputFirstRow = 27;  // ten outputs in rows 27..36
    static constexpr int kInputCount = 12;
    static constexpr int kOutputCount = 10;

    // The template with every value cell empty.
    ReportSheet();

    // The text of a cell; empty outside the page.
    QString text(int row, int column) const;

    // Only value cells take a text; anything else is refused and left as it is.
    bool setValue(int row, int column, const QString &text);
    // Writes texts down a column of value cells from firstRow, count cells in all; cells
    // past the end of the list are emptied, so a short or missing list never leaves old
    // texts behind.
    void fillColumn(int column, int firstRow, int count, const QStringList &texts);
    void clearValues();

    static bool isValueCell(int row, int column);
    // The columns of the "*" marks.
    static bool isMarkColumn(int column) { return column == 1 || column == 5; }
    // Every value cell, column by column, top to bottom.
    static const std::vector<ReportCell> &valueCells();
    // The group's place on the page (group 1..9).
    static ReportPlace groupPlace(int group);
    // Width of a column in characters of the sheet's font.
    static double columnWidth(int column);

private:
    static bool onPage(int row, int column);
    QString &at(int row, int column) { return cells_[size_t((row - 1) * kColumns + column - 1)]; }

    std::array<QString, size_t(kRows * kColumns)> cells_;
};

// A plain table for a further sheet of the workbook: a bold heading row, then the rows.
struct TableSheet {
    QString name;
    QStringList headings;
    std::vector<QStringList> rows;
};

// Saves the page as an Office Open XML workbook (the sheet "REPORT", then any further
// sheets given), whatever the path's extension. The target is replaced only by a complete
// file: on any failure it is left as it was and error says what went wrong.
bool SaveWorkbook(const ReportSheet &sheet, const QString &path, QString *error = nullptr,
                  const std::vector<TableSheet> &more = {});

} // namespace velmora
