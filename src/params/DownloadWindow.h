#pragma once

// The write-to-drive window: previews a parameter file, checks every value and writes the
// file into the drive group by group.

#include <QPointer>
#include <QWidget>

#include <set>

class QPlainTextEdit;
class QPushButton;

namespace velmora {

class DriveSession;
class TForm_Process;
class TForm_Compare;
struct DownloadPlan;

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

    // "Compare": reads the drive and shows it beside the file, from where the ticked
    // differing rows can be written.
    TForm_Compare *compareWithDrive();
    // Writes only these parameters of the file (a partial restore): the whole file is
    // checked first, guarded rows need the servo off, and the written values are read back.
    // Returns whether every one of them reads back as the file has it.
    bool writeRows(const std::set<QString> &ids);

    QPlainTextEdit *memo() const { return memo_; }
    QString path() const { return path_; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void endRun();
    // Sends a checked plan with the progress window and reports the outcome; true when complete.
    bool runPlan(const DownloadPlan &plan);

    DriveSession &s_;
    TForm_Process &process_;
    QPlainTextEdit *memo_;
    QPushButton *write_;
    QPushButton *compare_;
    QPointer<TForm_Compare> compareWindow_;
    QString path_;
    bool running_ = false;
};

} // namespace velmora
