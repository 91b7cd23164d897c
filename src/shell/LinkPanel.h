#pragma once

// The link panel: what the drive link has done, live. The link's own counters, the rate of
// whatever is polling or sampling, the share of the wire it uses, and the last frames.
// Non-modal and kept apart from the main window, so it stays usable while a child window
// has the main window disabled.

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTimer;

namespace velmora {

class DriveSession;

class TForm_Link : public QWidget {
    Q_OBJECT
public:
    struct Sources {
        // "status poller 25.4 cycles/s", "monitoring chart 76 samples/s", or empty.
        std::function<QString()> activity;
        // The port's baud rate; 0 when there is no wire (the built-in simulated drive).
        std::function<int()> baud;
    };

    TForm_Link(DriveSession &session, Sources sources);

    // Reads the counters and frames now (the panel does so twice a second).
    void refresh();
    // The frames as text, one per line (what Save... writes).
    QString framesText() const;
    bool saveFrames();

private:
    DriveSession &s_;
    Sources sources_;
    QTimer *timer_;
    QLabel *requests_, *good_, *refused_, *bad_, *timeouts_, *late_, *activity_, *wire_;
    QLabel *echoes_, *lowLatency_, *rs485_, *latencyTimer_;
    QCheckBox *pause_;
    QPlainTextEdit *frames_;
    quint64 shownFrames_ = ~quint64(0);
    qint64 lastAtMs_ = 0;
    quint64 lastBytes_ = 0;
};

} // namespace velmora
