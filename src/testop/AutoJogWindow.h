#pragma once

// The programmed-jog window: the sixteen pattern parameters (eight speed and time pairs,
// registers 1003 to 1018), and starting the pattern in mode 1 or 2 and stopping it.

#include <array>

#include <QStringList>
#include <QWidget>

#include "widgets/CloseGuard.h"

#include "link/DriveSession.h"
#include "link/FrameCodec.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class TForm_AUTOJOG;

// The block read: registers 1002 to 1018 in one request; the sixteen pattern values go to
// the window while it is open, the run mode is read but not shown.
// Runs on the caller's thread; a thread of its own would only add a hand-over.
class TThread_AutoJOG_READ {
public:
    explicit TThread_AutoJOG_READ(TForm_AUTOJOG &form);
    ReplyOutcome run();

private:
    DriveSession &s_;
    TForm_AUTOJOG &form_;
};

class TForm_AUTOJOG : public QWidget {
    Q_OBJECT
public:
    // Places in register order: place 0 is the run mode (1002), which has no row.
    static constexpr int kPlaces = 17;

    explicit TForm_AUTOJOG(DriveSession &session, QWidget *parent = nullptr);
    ~TForm_AUTOJOG() override;

    DriveSession &session() const { return s_; }
    bool AutoJogPageOpen() const { return autoJogPageOpen_; }
    // Writes text i into place i for i = 1 .. 16, while the window is open.
    void showBlock(const QStringList &texts);

    QLabel *valueBox(int place) const { return values_.at(size_t(place)); }
    QLineEdit *edit(int place) const { return edits_.at(size_t(place)); }
    QPushButton *setButton(int place) const { return setButtons_.at(size_t(place)); }

    void btnReflashClick();
    // btnAutojog_02Click .. btnAutojog_17Click: the Set button of row 1 .. 16.
    void btnAutojogClick(int row);
    void btnAJog1_OnClick();
    void btnAJog2_OnClick();
    void btnAJog_OffClick();
    void btnCloseClick();
    // Esc: Auto-JOG OFF, whatever has focus in the window.
    void escapeStop();

    // What the window knows of the pattern, shown beside Auto-JOG OFF (lblAutoJogState).
    enum class RunState { Unread, Stopped, Mode1, Mode2, Unknown };
    RunState runState() const { return runState_; }
    static QString runStateText(RunState state);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void startMode(Command command);
    void showRunState(RunState state);
    void onLinkDown();

    DriveSession &s_;
    bool autoJogPageOpen_ = true;
    bool shownOnce_ = false;
    RunState runState_ = RunState::Unread;
    bool starting_ = false; // a start is on its way: the link going now leaves it unknown
    QLabel *state_ = nullptr;
    CloseGuard guard_{*this};
    std::array<QLabel *, kPlaces> values_{};
    std::array<QLineEdit *, kPlaces> edits_{};
    std::array<QPushButton *, kPlaces> setButtons_{};
    QPushButton *mode1_;
    QPushButton *mode2_;
    QPushButton *close_;
};

} // namespace velmora
