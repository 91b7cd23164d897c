#include "params/DownloadWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "link/MessageService.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/DisplayRules.h"
#include "params/ParamTransactions.h"
#include "params/ValueCodec.h"
#include "params/CompareWindow.h"
#include "params/Download.h"
#include "params/ParamFile.h"
#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"
#include "widgets/ProcessWindow.h"

namespace velmora {

namespace {
constexpr QSize kClientSize(420, 560);
constexpr int kFailedPauseMs = 50;
constexpr int kCompletePauseMs = 500;
constexpr int kRunStep = 1;
} // namespace

TForm_DownLoad::TForm_DownLoad(DriveSession &session, TForm_Process &process, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      s_(session), process_(process)
{
    setObjectName(QStringLiteral("TForm_DownLoad"));
    setWindowTitle(QString::fromLatin1(texts::DownLoadPreview).trimmed());
    setFixedSize(kClientSize);
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("Memo_DownLoad"));
    memo_->setReadOnly(true);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    write_ = new GradRoundBtn(QStringLiteral("Write(PC->Servo)"), this);
    write_->setObjectName(QStringLiteral("Btn_DownLoad"));
    write_->setMinimumHeight(30);
    write_->hide();
    compare_ = new GradRoundBtn(QStringLiteral("Compare"), this);
    compare_->setObjectName(QStringLiteral("Btn_Compare"));
    compare_->setMinimumHeight(30);
    compare_->setToolTip(QStringLiteral("Read the drive and show what differs from the file"));
    compare_->hide();
    connect(compare_, &QPushButton::clicked, this, [this] { compareWithDrive(); });
    auto *cancel = new GradRoundBtn(QStringLiteral("Close"), this);
    cancel->setObjectName(QStringLiteral("Btn_Cancel"));
    cancel->setMinimumHeight(30);
    connect(write_, &QPushButton::clicked, this, &TForm_DownLoad::Btn_DownLoadClick);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(write_);
    buttons->addWidget(compare_);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(memo_);
    layout->addLayout(buttons);
    CentreOnScreen(this);
}

void TForm_DownLoad::chooseFile()
{
    memo_->clear();
    const QString path = s_.messages()->chooseOpenFile(QStringLiteral("Open"), QString());
    if (path.isEmpty())
        return;
    std::optional<QStringList> lines = ReadParamFileLines(path);
    if (!lines) {
        s_.messages()->show(QStringLiteral("The file %1 can not be opened.").arg(path));
        return;
    }
    while (lines->size() < kParamFileLines)
        lines->append(QString());
    path_ = path;
    write_->show();
    compare_->show();
    memo_->setPlainText(lines->join(QLatin1Char('\n')));
    setWindowTitle(QString::fromLatin1(texts::DownLoadPreview) + path_);
}

void TForm_DownLoad::Btn_DownLoadClick()
{
    if (running_ || path_.isEmpty())
        return;
    MessageService &messages = *s_.messages();
    running_ = true;
    if (CheckServoOffForWrite(s_, texts::SeovoOn) != ServoCheck::Off) {
        running_ = false;
        return;
    }
    if (!messages.askYesNo(QStringLiteral(" %1 %2").arg(path_, QString::fromLatin1(texts::DownLoadQuestion)))) {
        running_ = false;
        return;
    }
    process_.setPosition(0);
    process_.setStep(kRunStep);
    process_.setCaptionText(QString::fromLatin1(texts::DownloadingParameter) + path_);
    process_.show();
    process_.stepIt();

    // The file is read again: what is written is what is on disk now, not the preview.
    const std::optional<QStringList> lines = ReadParamFileLines(path_);
    if (!lines) {
        messages.show(QStringLiteral("The file %1 can no longer be opened; nothing was written.").arg(path_));
        endRun();
        return;
    }
    const DownloadCheck check = CheckDownloadLines(*lines);
    for (int i = 0; i < check.messages.size(); ++i) {
        const QString detail = check.details.value(i);
        if (detail.isEmpty())
            messages.show(check.messages[i]);
        else
            messages.error(check.messages[i], detail);
    }
    if (!check.plan) {
        endRun();
        return;
    }
    process_.stepIt();
    if (runPlan(*check.plan))
        close();
}

bool TForm_DownLoad::runPlan(const DownloadPlan &plan)
{
    MessageService &messages = *s_.messages();
    const DownloadResult result = RunDownload(s_, plan, [this](int position) { process_.setPosition(position); });
    if (!result.complete) {
        // Only a link that did fail is reported as one when the window closes.
        if (result.linkFailed)
            s_.link.linkFailed = 1;
        if (result.mismatches.empty())
            messages.show(QString::fromLatin1(texts::DownLoadFailed));
        else
            messages.error(QString::fromLatin1(texts::DownLoadFailed),
                           QStringLiteral("The drive does not hold these values of the file:\n")
                               + DescribeMismatches(result.mismatches));
        PauseKeepingEvents(kFailedPauseMs);
        process_.setStep(TForm_Process::kDefaultStep);
        endRun();
        return false;
    }
    process_.setPosition(TForm_Process::kMaximum);
    PauseKeepingEvents(kCompletePauseMs);
    messages.show(QString::fromLatin1(texts::DownLoadComplete));
    endRun();
    return true;
}

TForm_Compare *TForm_DownLoad::compareWithDrive()
{
    if (running_ || path_.isEmpty())
        return nullptr;
    const std::optional<QStringList> lines = ReadParamFileLines(path_);
    if (!lines) {
        s_.messages()->show(QStringLiteral("The file %1 can no longer be opened.").arg(path_));
        return nullptr;
    }
    if (!compareWindow_) {
        compareWindow_ = new TForm_Compare(QFileInfo(path_).fileName(), true, this);
        compareWindow_->setAttribute(Qt::WA_DeleteOnClose);
        connect(compareWindow_, &TForm_Compare::writeTicked, this, [this](const std::set<QString> &ids) {
            if (writeRows(ids) && compareWindow_) {
                if (const std::optional<QStringList> again = ReadParamFileLines(path_))
                    compareWindow_->compare(s_, *again);
            }
        });
    }
    running_ = true;
    QString error;
    const bool ok = compareWindow_->compare(s_, *lines, &error);
    running_ = false;
    compareWindow_->QWidget::show();
    compareWindow_->raise();
    if (!ok)
        s_.messages()->show(error);
    return compareWindow_;
}

bool TForm_DownLoad::writeRows(const std::set<QString> &ids)
{
    if (running_ || path_.isEmpty() || ids.empty())
        return false;
    MessageService &messages = *s_.messages();
    // The whole file passes its checks before anything is sent, as for a full restore.
    const std::optional<QStringList> lines = ReadParamFileLines(path_);
    if (!lines) {
        messages.show(QStringLiteral("The file %1 can no longer be opened; nothing was written.").arg(path_));
        return false;
    }
    const DownloadCheck check = CheckDownloadLines(*lines);
    if (!check.plan) {
        for (int i = 0; i < check.messages.size(); ++i)
            messages.error(check.messages[i], check.details.value(i));
        return false;
    }
    std::set<uint16_t> registers;
    bool guarded = false;
    for (const ParamGroup &group : ParamGroups) {
        for (size_t i = 0; i < group.rows.size(); ++i) {
            if (ids.count(QLatin1String(group.rows[i].id))) {
                registers.insert(group.defs[i].Address);
                guarded = guarded || group.rows[i].servoOffRequired;
            }
        }
    }
    running_ = true;
    // Rows the drive takes only with the servo off: refused, nothing sent, while it is on.
    if (guarded && CheckServoOffForWrite(s_, texts::SeovoOn) != ServoCheck::Off) {
        running_ = false;
        return false;
    }
    if (!messages.askYesNo(QStringLiteral("Write %1 parameter(s) of %2 into the drive?").arg(registers.size()).arg(path_))) {
        running_ = false;
        return false;
    }
    std::vector<uint16_t> skipped;
    const DownloadPlan plan = PartialPlan(*check.plan, registers, s_.station(), &skipped);
    if (plan.requests.empty()) {
        messages.show(QStringLiteral("None of these parameters is written from this file; nothing was written."));
        running_ = false;
        return false;
    }
    process_.setPosition(0);
    process_.setStep(kRunStep);
    process_.setCaptionText(QString::fromLatin1(texts::DownloadingParameter) + path_);
    process_.show();
    return runPlan(plan);
}

void TForm_DownLoad::endRun()
{
    process_.hide();
    running_ = false;
}

void TForm_DownLoad::closeEvent(QCloseEvent *event)
{
    // The run waits in nested event loops; the window must outlive it.
    if (running_)
        event->ignore();
    else
        QWidget::closeEvent(event);
}

} // namespace velmora
