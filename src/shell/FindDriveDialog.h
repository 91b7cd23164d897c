#pragma once

// "Find Drive...": tries each baud rate and a range of station numbers on a port with a
// one-register read of the program version, lists what answered, and goes on line with the
// drive chosen. Only reads; only while off line (it uses the link's own port).

#include <QDialog>

#include <vector>

#include "link/PortList.h"
#include "params/DriveScan.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace velmora {

class TForm_Main;

class TForm_FindDrive : public QDialog {
    Q_OBJECT
public:
    explicit TForm_FindDrive(TForm_Main &main);

    // Scans the chosen port; the table lists what answered. Returns the result.
    ScanResult scan();
    // Ends a scan in progress after its probe in flight.
    void cancel();
    bool scanning() const { return scanner_ != nullptr; }
    // Takes the settings of found row `row` (port, baud, station) and goes on line with them.
    bool useRow(int row);

    QTableWidget *table() const { return table_; }

private:
    PortSettings settingsFor(int portIndex) const;

    TForm_Main &main_;
    QList<PortEntry> ports_;
    std::vector<std::pair<int, ScanHit>> found_; // port index, hit
    DriveScanner *scanner_ = nullptr;
    QComboBox *port_;
    QSpinBox *from_;
    QSpinBox *to_;
    QCheckBox *all_;
    QProgressBar *progress_;
    QPushButton *scan_;
    QPushButton *use_;
    QTableWidget *table_;
    QLabel *state_;
};

} // namespace velmora
