#pragma once

// The report window: every parameter of the drive, the alarm history and the last input
// and output states on one page, which can be saved as a workbook.

#include <QAbstractTableModel>
#include <QWidget>

#include "report/Workbook.h"

class QPushButton;
class QTableView;

namespace velmora {

class DriveSession;
class TForm_Process;
struct AlarmHistoryState;
struct ParamTexts;

// The page as a table: template cells read-only, value cells editable.
class ReportSheetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ReportSheetModel(QObject *parent = nullptr);

    const ReportSheet &sheet() const { return sheet_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // As ReportSheet::fillColumn, shown at once.
    void fillColumn(int column, int firstRow, int count, const QStringList &texts);
    void clearValues();

private:
    ReportSheet sheet_;
};

// Empties the page's value cells on the user-interface thread. Runs on the caller's
// thread: a thread of its own would only hand its one step back.
class TThread_F1book_SET {
public:
    TThread_F1book_SET(DriveSession &session, ReportSheetModel &model) : s_(session), model_(model) {}
    void run();

private:
    DriveSession &s_;
    ReportSheetModel &model_;
};

class TForm_Report : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 789;
    static constexpr int kClientHeight = 700;

    TForm_Report(DriveSession &session, ParamTexts &texts, AlarmHistoryState &history, TForm_Process &process,
                 QWidget *parent = nullptr);

    // "Read": every group, then the alarm history, into the value cells.
    void Button_ReadClick();
    // "Clear": empties the value cells.
    void Button_ClearClick();
    // "Save": asks for a file name and saves the page there as a workbook.
    void Button_SaveClick();

    const ReportSheet &sheet() const { return model_->sheet(); }
    ReportSheetModel *model() const { return model_; }
    QTableView *view() const { return view_; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void endRead();

    DriveSession &s_;
    ParamTexts &texts_;
    AlarmHistoryState &history_;
    TForm_Process &process_;
    ReportSheetModel *model_;
    QTableView *view_;
    bool reading_ = false;
    bool shownOnce_ = false;
};

} // namespace velmora
