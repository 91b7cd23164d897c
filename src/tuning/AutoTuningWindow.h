#pragma once

// The auto tuning window: sets a back-and-forth jog pattern, switches the drive's auto
// tuning function on and off, starts and stops the pattern, steps the system response and
// shows the inertia ratio the drive finds. Its panels are numbered in the order of the
// procedure.

#include <array>
#include <functional>

#include <QColor>
#include <QWidget>

#include "widgets/CloseGuard.h"

#include "link/DriveSession.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velmora {

class TForm_AutoTuning;

// The reading: registers 1003..1008, 216..218 and 301, three requests in that order. Each
// request that gets a good reply fills the displays of its values; one without leaves them
// as they were. Runs on the caller's thread; a thread of its own would only add a hand-over.
class TThread_AutoTune_READ {
public:
    TThread_AutoTune_READ(DriveSession &session, TForm_AutoTuning &window) : s_(session), window_(window) {}
    void run();

private:
    DriveSession &s_;
    TForm_AutoTuning &window_;
};

class TForm_AutoTuning : public QWidget {
    Q_OBJECT
public:
    // Values the window reads, in the order of AutoTuneDefs.
    static constexpr int kSlots = 10;
    // Colours of the closing messages: silver until auto tuning has been switched off.
    static constexpr QRgb EndMessageIdle = 0xFFC0C0C0;
    static constexpr QRgb EndMessageDone = 0xFF0000FF;

    explicit TForm_AutoTuning(DriveSession &session, QWidget *parent = nullptr);
    ~TForm_AutoTuning() override;

    // Reads every value and shows what arrived. Run when the window is first shown, after
    // every stop of the pattern, and by whoever took this window's place for a while.
    void readAll();
    // What "Entrance" opens (the gain tuning chart); nothing happens while none is set.
    void setEntranceAction(std::function<void()> action) { entranceAction_ = std::move(action); }

    // The display of a slot (0-based, AutoTuneDefs order); nullptr for the slots read but
    // not shown (jog speed 3 and P3-02).
    QLabel *slotDisplay(int slot) const { return displays_.at(size_t(slot)); }
    // True after an acknowledged start, until an acknowledged stop.
    bool patternRunning() const { return running_; }

    // Button handlers.
    void btnJogParaSetClick();
    void btnATuningONClick();
    void btnATuningOFFClick();
    void btnAutoJog_ONClick();
    void btnAutoJog_OffClick();
    // Esc: the pattern's Stop, whatever has focus in the window.
    void escapeStop();
    void BTN_ESTOPClick() { btnAutoJog_OffClick(); }
    void btnFBspeedHClick() { stepResponse(+1); }
    void btnFBspeedLClick() { stepResponse(-1); }
    void btn_ChartClick();
    void btnCloseClick();

private:
    void onLinkDown();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    friend class TThread_AutoTune_READ;
    void showSlot(int slot, const QString &text);
    // Writes "1" or "0" to the auto tuning function; returns the read-back text, empty
    // when the write was refused here or the read-back got no good reply.
    QString switchAutoTuning(const char *value);
    void stepResponse(int step);
    // Runs a handler that waits for the drive; a close asked for meanwhile waits for it.

    DriveSession &s_;
    std::array<QLabel *, kSlots> displays_{};
    std::array<QLineEdit *, kSlots> edits_{};
    QRadioButton *mode1_;
    QRadioButton *mode2_;
    QPushButton *tuningOn_;
    QPushButton *start_;
    QPushButton *close_;
    std::array<QLabel *, 2> endMessages_{};
    std::function<void()> entranceAction_;
    bool running_ = false;
    bool shownOnce_ = false;
    CloseGuard guard_{*this};
};

} // namespace velmora
