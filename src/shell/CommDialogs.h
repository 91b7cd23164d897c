#pragma once

// The two dialogs of going on line: the port settings ("Comport Set") and the choice of
// the drive's station number ("Form_ID").

#include <QDialog>

#include "link/DrivePort.h"

class QCheckBox;
class QComboBox;

namespace velmora {

class TForm_COMM : public QDialog {
    Q_OBJECT
public:
    // Edits settings in place when OK is pressed. Not modal; always on top.
    TForm_COMM(PortSettings &settings, QWidget *parent = nullptr);

    // Stores the settings from the selected list items; a list with nothing selected
    // leaves its setting as it was.
    void btnOKClick();

    // Baud rates of the list, in item order.
    static const QList<qint32> &baudRates();

private:
    PortSettings &settings_;
    QComboBox *COMBOX_NUM;
    QComboBox *COMBOX_BAUD;
    QComboBox *COMBOX_DATA;
    QComboBox *COMBOX_STOP;
    QComboBox *COMBOX_Parity;
    QComboBox *COMBOX_Flow;
    QCheckBox *chk_Rs485;
};

class TForm_ID : public QDialog {
    Q_OBJECT
public:
    explicit TForm_ID(QWidget *parent = nullptr);

    // The station text as typed or chosen.
    QString stationText() const;
    // True when the dialog was left by "Confirm" rather than its close box.
    bool confirmed() const { return confirmed_; }

signals:
    void Btn_ConfirmClick();

private:
    QComboBox *ComboBox_ID;
    bool confirmed_ = false;
};

} // namespace velmora
