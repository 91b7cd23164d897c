#pragma once

// Manual tuning: ten loop settings shown together, each raised or lowered one step at a
// time while the machine runs under load.

#include <QWidget>

#include <array>

#include "link/DriveSession.h"

class QLabel;

namespace velmora {

constexpr int kManualTuningRows = 10;

class TForm_ManualTuning : public QWidget {
    Q_OBJECT
public:
    explicit TForm_ManualTuning(DriveSession &session, QWidget *parent = nullptr);

    // "새로읽기": empties the ten displays and reads them again.
    void btnReflashClick();
    // A raise (+1) or lower (-1) button of a row (0-based): the step, the range test, the
    // write and the read-back. A refused step is undone with "Wrong parameter".
    void stepRow(int row, int direction);

    QLabel *display(int row) const { return displays_.at(size_t(row)); }
    static uint16_t rowRegister(int row);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void readAll();

    DriveSession &s_;
    std::array<QLabel *, kManualTuningRows> displays_{};
    bool shownOnce_ = false;
};

// Reads the ten values with four requests and shows those that got a good reply.
class TThread_ManuTune_READ {
public:
    TThread_ManuTune_READ(DriveSession &session, TForm_ManualTuning &window) : s_(session), window_(window) {}
    void run();

private:
    DriveSession &s_;
    TForm_ManualTuning &window_;
};

} // namespace velmora
