#pragma once

// The write-to-drive window: previews a parameter file, checks every value and writes the
// file into the drive group by group.

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace velmora {

class DriveSession;
class TForm_Process;

class TForm_DownLoad : public QWidget {
    Q_OBJECT
public:
    TForm_DownLoad(DriveSession &session, TForm_Process &process, QWidget *parent = nullptr);

    // OpenDialog_DownLoad, then the preview. A cancelled dialog leaves an empty window
    // whose only useful button is "Close".
    void chooseFile();
    // "Write(PC->Servo)": guard, question, checks, then the run. A completed run closes
    // the window; anything else leaves it open for another try.
    void Btn_DownLoadClick();

    QPlainTextEdit *memo() const { return memo_; }
    QString path() const { return path_; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void endRun();

    DriveSession &s_;
    TForm_Process &process_;
    QPlainTextEdit *memo_;
    QPushButton *write_;
    QString path_;
    bool running_ = false;
};

} // namespace velmora
