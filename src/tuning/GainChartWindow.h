#pragma once

// The gain tuning chart: the speed and position loop gains, acceleration, deceleration and
// system response changed while two live signals are watched on one strip chart. Opened
// from the auto tuning window, which it disables while it is open.

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "link/DriveSession.h"
#include "tuning/ChartOps.h"
#include "tuning/ChartSampler.h"
#include "tuning/SampleTimeline.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace velmora {

class StripChart;
class StripSeries;

constexpr int kGainRows = 6;

class TForm_Chart1 : public QWidget {
    Q_OBJECT
public:
    // owner is disabled while this window is open; afterClose runs when it has closed
    // (the auto tuning window reads its values again).
    TForm_Chart1(DriveSession &session, ChartMemory &memory, QWidget *owner, std::function<void()> afterClose = {});
    ~TForm_Chart1() override;

    void Btn_StartClick();
    void Btn_StopClick();
    void Btn_ClearClick();
    void Btn_zoomClick();
    void Btn_autoClick();
    // A row's "Set" (rows 1..5): stops sampling, writes the row's edit text, reads it back and
    // samples again. A refused value leaves sampling stopped.
    void setRow(int row);
    // System response Up (+1) / Down (-1).
    void stepResponse(int direction);
    // The six values and the derived displays.
    void readAll();

    bool running() const { return running_; }
    StripChart *chart() const { return chart_; }
    StripSeries *series(int n) const { return series_.at(size_t(n - 1)); }
    QLabel *display(int row) const { return displays_.at(size_t(row - 1)); }
    QLabel *derived(int row) const { return row == 1 ? derived1_ : row == 5 ? derived5_ : nullptr; }
    QLineEdit *edit(int row) const { return edits_.at(size_t(row - 1)); }
    const SampleTimeline &timeline() const { return timeline_; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void startSampler();
    // Back to the newest samples after the user looked back over the history.
    void showLive();
    void stopSampler();
    void appendSample(const ChartSample &sample);
    void updateDerived();

    DriveSession &s_;
    ChartMemory &memory_;
    QWidget *owner_;
    std::function<void()> afterClose_;
    ChartSelections selections_;
    std::unique_ptr<TThread_Chart_Read1> sampler_;
    bool running_ = false;
    bool shownOnce_ = false;
    SampleTimeline timeline_;
    qint64 originNs_ = 0;
    bool recentre_ = true;  // the next sample centres the vertical axis
    bool following_ = true; // false while the user looks back over the history
    QCheckBox *followBoth_ = nullptr;
    QPushButton *live_ = nullptr;

    std::array<QComboBox *, 2> combos_{};
    std::array<QLabel *, 2> labels_{};
    StripChart *chart_;
    std::array<StripSeries *, 2> series_{};
    std::array<QLabel *, kGainRows> displays_{};
    std::array<QLineEdit *, kGainRows - 1> edits_{};
    QLabel *derived1_;
    QLabel *derived5_;
    QPushButton *start_;
    QPushButton *close_;
    QSpinBox *xRange_;
    QSpinBox *yRange_;
};

// Reads the six values with four requests; only requests with a good reply change a row.
class TThread_ChartGain_READ {
public:
    TThread_ChartGain_READ(DriveSession &session, TForm_Chart1 &window) : s_(session), window_(window) {}
    void run();

private:
    DriveSession &s_;
    TForm_Chart1 &window_;
};

} // namespace velmora
