#pragma once

#include <QDialog>

class QProgressBar;

namespace velmora {

// "Processing": the progress window shared by the long operations (reading and writing
// all parameters, the report). Created hidden once at start and reused: each operation sets
// its caption, position and step, shows it, steps it and hides it again.
//
// Create it without a parent: a child of the main window would be greyed out whenever a
// window that talks to the drive disables the main window, which is exactly when it is used.
class TForm_Process : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMinimum = 0;
    static constexpr int kMaximum = 100;
    static constexpr int kDefaultStep = 10;

    explicit TForm_Process(QWidget *parent = nullptr);

    void setCaptionText(const QString &text);
    // Positions outside 0..100 are held at the nearer end.
    void setPosition(int position);
    void setStep(int step);
    // Advances by the step, stopping at the ends rather than wrapping to the start, so an
    // operation with one step too many still shows a full bar.
    void stepIt();

    int position() const;
    int step() const { return step_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QProgressBar *bar_;
    int step_ = kDefaultStep;
};

} // namespace velmora
