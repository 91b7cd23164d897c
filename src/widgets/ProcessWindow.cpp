#include "widgets/ProcessWindow.h"

#include <QProgressBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

#include "widgets/Placement.h"

namespace velmora {

namespace {
constexpr char kCaption[] = "Processing";
} // namespace

TForm_Process::TForm_Process(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form_Process"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setModal(false);
    // Left visible by an interrupted operation, it must not keep the program running.
    setAttribute(Qt::WA_QuitOnClose, false);

    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("ProgressBar1"));
    bar_->setRange(kMinimum, kMaximum);
    bar_->setValue(kMinimum);
    bar_->setMinimumWidth(320);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(bar_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm_Process::setCaptionText(const QString &text)
{
    setWindowTitle(text);
}

void TForm_Process::setPosition(int position)
{
    // QProgressBar ignores a value outside its range instead of clamping it.
    bar_->setValue(std::clamp(position, kMinimum, kMaximum));
}

void TForm_Process::setStep(int step)
{
    step_ = step;
}

void TForm_Process::stepIt()
{
    // Widened so a huge step can not overflow.
    const long long next = static_cast<long long>(bar_->value()) + step_;
    bar_->setValue(static_cast<int>(std::clamp<long long>(next, kMinimum, kMaximum)));
}

int TForm_Process::position() const
{
    return bar_->value();
}

void TForm_Process::showEvent(QShowEvent *event)
{
    // Centred each time it is shown: every operation brings it back to the same place.
    if (!event->spontaneous())
        CentreOnScreen(this);
    QDialog::showEvent(event);
}

} // namespace velmora
