#pragma once

// The jog window: the key-jog speed, jog mode on and off, and turning the motor by hand for
// as long as a direction button is held down.

#include <array>

#include <QWidget>

#include "widgets/CloseGuard.h"

#include "link/DriveSession.h"
#include "link/FrameCodec.h"
#include "widgets/GradientWidgets.h"

class QLabel;
class QLineEdit;

namespace velmora {

// A direction button: any mouse button runs the motor while it is held. Pressing and
// letting go are the two exchanges; a click as such means nothing, and the keyboard does
// not reach it.
class JogDirectionButton : public GradRoundBtn {
    Q_OBJECT
public:
    static constexpr QRgb IdleFace = 0xFFFFFFFF;    // white
    static constexpr QRgb RunningFace = 0xFFFF0000; // red
    static constexpr QRgb CaptionGreen = 0xFF008000;

    explicit JogDirectionButton(const QString &caption, QWidget *parent = nullptr);

    // Red face while the motor runs, white otherwise.
    void setRunning(bool running);
    bool running() const { return running_; }
    bool held() const { return held_; }

    // After a refused press: a release that came while the refusal's message box was up went
    // to the box, not here. When no mouse button is down any more, acts on it now, so the stop
    // frames still go out.
    void releaseIfLetGo();

signals:
    void mouseDown();
    void mouseUp();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void letGo();

    bool held_ = false;
    bool running_ = false;
};

class TForm_JOG;

// The jog-speed read: register 1001, shown in STextJOG_01 while the window is open.
// Runs on the caller's thread; a thread of its own would only add a hand-over.
class TThread_JOG_READ {
public:
    explicit TThread_JOG_READ(TForm_JOG &form);
    ReplyOutcome run();

private:
    DriveSession &s_;
    TForm_JOG &form_;
};

class TForm_JOG : public QWidget {
    Q_OBJECT
public:
    explicit TForm_JOG(DriveSession &session, QWidget *parent = nullptr);
    ~TForm_JOG() override;

    DriveSession &session() const { return s_; }
    bool JogPageOpen() const { return jogPageOpen_; }
    // Shows a jog speed read from the drive, while the window is open.
    void showJogSpeed(const QString &text);

    void btnReflashClick();
    void btnJOG_01Click();
    void BtnJogOnClick();
    void BtnJogOffClick();
    void BTN_ESTOPClick();
    void BtnJog_ReverseMouseDown();
    void BtnJog_ReverseMouseUp();
    void BtnJog_Forward1MouseDown();
    void BtnJog_Forward1MouseUp();
    void btnCloseClick();

    // Esc: the two stop frames, whatever has focus in the window.
    void escapeStop();
    // A run frame went out without an acknowledged stop since, or a button is held: the
    // motor may be turning.
    bool motorMayRun() const;

    // What the user is told when a stop did not take: the drive refused it, nothing answered,
    // or the link is down.
    static QString stopRefusedText();
    static QString motorStateUnknownText();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    enum Frame { On, Off, Clockwise, CounterClockwise, Stop, FrameCount };
    enum class StopResult { Stopped, Refused, NoAnswer, LinkDown };

    // Sends one of the window's frames and waits for the reply.
    ExchangeResult sendAndWait(Frame frame);
    // "Instruction fail. Try again" for an unacknowledged command; nothing when the link is
    // down (the window has said so already).
    void refused(const ExchangeResult &result);
    // The two stop frames; refused, they go once more.
    StopResult sendStops();
    void reportStopFailure(StopResult result);
    void stopped();
    void directionDown(JogDirectionButton *button, Frame run);
    void directionUp(JogDirectionButton *button);
    void showDirectionButtons(bool show);
    void onLinkDown();
    // The jog-off state: direction buttons hidden and white, JOG OFF and Close offered.
    void showJogOff();

    DriveSession &s_;
    bool jogPageOpen_ = true;
    bool shownOnce_ = false;
    bool runSent_ = false;        // a run frame without an acknowledged stop since
    bool jogModeMayBeOn_ = false; // JOG ON went out and no JOG OFF was acknowledged since
    bool closing_ = false;
    bool downBeforeSend_ = false; // the link was down already when the last frame was sent
    CloseGuard guard_{*this};
    std::array<CommandFrame, FrameCount> frames_{};

    QLabel *speed_;
    QLineEdit *speedEdit_;
    GradRoundBtn *jogOff_;
    GradRoundBtn *close_;
    JogDirectionButton *reverse_;
    JogDirectionButton *forward_;
};

} // namespace velmora
