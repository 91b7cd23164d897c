#pragma once

// The monitoring window: four live drive signals on two strip charts and every sample in
// a value table.

#include <QAbstractTableModel>
#include <QWidget>

#include <array>
#include <atomic>
#include <deque>
#include <memory>

#include "link/DriveSession.h"
#include "tuning/ChartCapture.h"
#include "tuning/ChartOps.h"
#include "tuning/ChartSampler.h"
#include "tuning/SampleTimeline.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableView;
class QTimer;
class QToolBar;

namespace velmora {

class StripChart;
class StripSeries;

// The value table as a view over the series' own storage: row r shows point r-1 of each
// series and, in column 0, the number of the request that point answered. A request that
// brought no point has no row, so a number always names its own values.
class ChartValueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kInitialRows = 15;

    ChartValueModel(const std::array<StripSeries *, 4> &series, const SampleTimeline &timeline,
                    QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setHeaders(const QStringList &headers); // columns 1..4
    QString header(int column) const { return headers_.value(column); }
    void addRow();
    // Empties every cell and header; the row count stays.
    void clearAll();
    // After points were removed.
    void refresh();
    // After a sample: the row of its points (grid row, 1-based).
    void refreshRow(int row);

private:
    std::array<StripSeries *, 4> series_;
    const SampleTimeline &timeline_;
    QStringList headers_ = QStringList(5);
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

    // ---- beside the chart's own controls ----

    // Pause freezes the view while sampling goes on and every sample is kept; the history
    // can then be dragged or scrolled. Resume returns to the live end.
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    // Every stored sample, or the captured window, as CSV through the save dialog.
    bool saveCsv();
    bool saveCapture();
    // Arms the trigger from the capture controls, or disarms it.
    void armCapture(bool arm);
    const ChartCapture &capture() const { return capture_; }

    const SampleTimeline &timeline() const { return timeline_; }
    // Samples per second over the last second; requests that brought no sample; the rate
    // the wire allows at the port's baud (0: unknown).
    double achievedRate() const;
    qint64 droppedSamples() const;
    double wireLimit() const;
    QString rateText() const;

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
    void buildTools(QWidget *tools);
    void sizeTableColumns();
    void showScrollState();
    void showCapture();
    void freezeOnCapture();
    void updateStatus();
    QStringList signalHeadings() const;
    std::vector<const StripSeries *> seriesList() const;
    bool writeCsv(long long first, long long last);

    DriveSession &s_;
    ChartMemory &memory_;
    ChartSelections selections_;
    std::atomic<int> counter_{0};
    std::unique_ptr<TThread_Chart_Read> sampler_;
    bool running_ = false;

    SampleTimeline timeline_;
    qint64 originNs_ = 0;         // time 0 of the timeline: opening or the last Clear
    std::deque<qint64> recentNs_; // arrivals within the last second
    std::array<bool, 2> recentre_{true, true};
    bool paused_ = false;
    ChartCapture capture_;

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
    QPushButton *scroll_;

    QPushButton *pause_;
    QCheckBox *timeAxis_;
    QCheckBox *followBoth_;
    QLabel *rate_;
    QComboBox *triggerSource_;
    QComboBox *triggerEdge_;
    QDoubleSpinBox *triggerLevel_;
    QSpinBox *preSamples_;
    QSpinBox *postSamples_;
    QCheckBox *singleShot_;
    QPushButton *arm_;
    QPushButton *saveCapture_;
    QLabel *captureState_;
    QTimer *statusTimer_;
};

} // namespace velmora
