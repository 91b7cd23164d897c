#pragma once

// The monitoring window: four live drive signals on two strip charts and every sample in
// a value table.

#include <QAbstractTableModel>
#include <QWidget>

#include <array>
#include <atomic>
#include <memory>

#include "link/DriveSession.h"
#include "tuning/ChartOps.h"
#include "tuning/ChartSampler.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class QToolBar;

namespace velmora {

class StripChart;
class StripSeries;

// The value table as a view over the series' own storage: row r shows the sample number r
// (while r is within the count of requests) and point r-1 of each series.
class ChartValueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kInitialRows = 15;

    explicit ChartValueModel(const std::array<StripSeries *, 4> &series, QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setHeaders(const QStringList &headers); // columns 1..4
    void setCounter(int counter);
    void addRow();
    // Empties every cell and header; the row count stays.
    void clearAll();
    // After points were removed.
    void refresh();
    // After a sample: the rows of its number and of its points (grid rows, 1-based).
    void refreshRows(int first, int second);

private:
    std::array<StripSeries *, 4> series_;
    QStringList headers_ = QStringList(5);
    int counter_ = 0;
    int rows_ = kInitialRows;
};

class TForm_Chart : public QWidget {
    Q_OBJECT
public:
    TForm_Chart(DriveSession &session, ChartMemory &memory, QWidget *parent = nullptr);
    ~TForm_Chart() override;

    void Btn_StartClick();
    void Btn_StopClick();
    void Btn_ClearClick();
    void Btn_zoomClick();
    void Btn_autoClick();
    void Btn_Scroll_ONOFFClick();
    void saveChart(int chart); // 1 or 2

    bool running() const { return running_; }
    int sampleCounter() const { return counter_; }
    StripChart *chart(int n) const { return n == 1 ? chart1_ : chart2_; }
    StripSeries *series(int n) const { return series_.at(size_t(n - 1)); }
    ChartValueModel *valueModel() const { return model_; }
    int selection(int series) const { return selections_.at(size_t(series - 1)).load(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void appendSample(const ChartSample &sample);
    void setSamplingControls(bool sampling);

    DriveSession &s_;
    ChartMemory &memory_;
    ChartSelections selections_;
    std::atomic<int> counter_{0};
    std::unique_ptr<TThread_Chart_Read> sampler_;
    bool running_ = false;

    QToolBar *toolBar_;
    std::array<QComboBox *, 4> combos_{};
    std::array<QLabel *, 4> labels_{};
    StripChart *chart1_;
    StripChart *chart2_;
    std::array<StripSeries *, 4> series_{};
    ChartValueModel *model_;
    QTableView *table_;
    QPushButton *start_;
    QPushButton *close_;
    QSpinBox *xRange_;
    QSpinBox *yRange_;
};

} // namespace velmora
