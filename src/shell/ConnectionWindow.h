#pragma once

#include <QDialog>

namespace velmora {

// "Comm Cable Wiring--": how to wire the RS-232C and RS-485 cables to the drive's 20-pin
// connector. Shown non-modal, centred on the screen; it deletes itself when closed.
class TForm_Connection : public QDialog {
    Q_OBJECT
public:
    explicit TForm_Connection(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool centred_ = false;
};

} // namespace velmora
