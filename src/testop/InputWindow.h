#pragma once

// The input signal control panel: drives the drive's twelve digital inputs from the PC.
// Every change sends the whole pattern as one write of the input-control register.

#include <QWidget>

#include <array>

#include "link/DriveSession.h"

class QAction;
class QLabel;

namespace velmora {

class InputIndicator;
class InputSwitch;

constexpr int kInputPinCount = 12;
// The input-control word with every input off.
constexpr uint16_t kAllInputsOff = 0x0FFF;

class TForm_Input_IO : public QWidget {
    Q_OBJECT
public:
    explicit TForm_Input_IO(DriveSession &session, QWidget *parent = nullptr);

    // A pin's switch (SW_SVONENClick .. SW_ALMRSTClick): flips the pin and sends the pattern.
    void switchClicked(int pin);
    // The round E-STOP button and Ctrl+E: the pin assigned ESTOP goes off, then the pattern
    // is sent. Without such a pin every input goes off, the safe state.
    void ACTION_ESTOPExecute();
    // "Reset": sends the pattern as it stands.
    void btn_IOWriteClick();

    bool inputOn(int pin) const;
    void setInputOn(int pin, bool on);
    // Bit i set when pin i is off.
    uint16_t inputControlWord() const;
    // 1..12, or 0 when no pin carries ESTOP.
    int estopPin() const { return estopPin_; }
    // The inputs' state is not known: a write went unconfirmed (lblInputState says so).
    bool stateUnknown() const { return unknown_; }

private:
    // Sends the panel's pattern. Confirmed, it stands; refused or unconfirmed, the panel
    // goes back to what the drive last confirmed, and an unconfirmed write is said to leave
    // the inputs' state unknown.
    void sendPattern(uint16_t before);
    void showStateUnknown(bool unknown);

    DriveSession &s_;
    std::array<InputSwitch *, kInputPinCount> switches_{};
    std::array<InputIndicator *, kInputPinCount> indicators_{};
    std::array<QLabel *, kInputPinCount> labels_{};
    int estopPin_ = 0;
    bool unknown_ = false;
    QLabel *state_ = nullptr;
};

// Paints the indicators from the inputs' states of the last status poll.
class TThread_IO_Show {
public:
    TThread_IO_Show(DriveSession &session, TForm_Input_IO &panel) : s_(session), panel_(panel) {}
    void run();

private:
    DriveSession &s_;
    TForm_Input_IO &panel_;
};

// Sends the panel's pattern and waits for the reply; the acknowledgement is not looked at.
class TThread_IO_SAVE {
public:
    TThread_IO_SAVE(DriveSession &session, uint16_t word) : s_(session), word_(word) {}
    ReplyOutcome run();

private:
    DriveSession &s_;
    uint16_t word_;
};

} // namespace velmora
