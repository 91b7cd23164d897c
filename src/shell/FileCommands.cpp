#include "shell/FileCommands.h"

#include <QFileInfo>

#include "link/MessageService.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/CompareWindow.h"
#include "params/DownloadWindow.h"
#include "params/PageReader.h"
#include "params/ParamFile.h"
#include "params/ReportWindows.h"
#include "shell/MainWindow.h"
#include "widgets/ProcessWindow.h"

namespace velmora {

namespace {
constexpr char kParamFileFilter[] = "*.vpf";
constexpr char kParamFileSuffix[] = ".vpf";
constexpr int kProgressDoneMs = 50;
} // namespace

void FileCommands::UpLoad1Click()
{
    TForm_Process *process = main_.processWindow();
    main_.setEnabled(false);
    if (!messages_.askYesNo(QString::fromLatin1(texts::SaveParameterQuestion))) {
        main_.setEnabled(true);
        return;
    }
    process->setPosition(0);
    process->setCaptionText(QString::fromLatin1(texts::ReadingParameters));
    process->show();
    process->stepIt();
    main_.stopPoller();
    process->stepIt();
    QStringList unanswered;
    for (int g = 1; g <= 9; ++g) {
        if (TThread_Pg_READ(main_.session(), main_.paramTexts(), g).run() != ReplyOutcome::Good)
            unanswered << QStringLiteral("P%1").arg(g);
        if (g == 1)
            ApplyMotorDefaults(main_.paramTexts().P(1));
        process->stepIt();
    }
    process->setPosition(100);
    PauseKeepingEvents(kProgressDoneMs);
    process->hide();

    // A backup with a group the drive did not answer would hold some earlier read's texts
    // as if just read, and a restore would write them back: nothing is saved then.
    if (!unanswered.isEmpty()) {
        messages_.show(QStringLiteral("The drive did not answer the reading of %1; the parameter file was not saved.")
                           .arg(unanswered.join(QStringLiteral(", "))));
        main_.setEnabled(true);
        main_.startPollerAt(QThread::NormalPriority);
        return;
    }

    QStringList lines = BuildParamFileLines(main_.paramTexts().texts);
    QString path = messages_.chooseSaveFile(QStringLiteral("Save"), QLatin1String(kParamFileFilter));
    if (!path.isEmpty()) {
        if (QFileInfo(path).suffix().isEmpty())
            path += QLatin1String(kParamFileSuffix);
        QString error;
        if (!SaveParamFile(path, lines, &error)) {
            messages_.error(QString::fromLatin1(texts::FileSaveFail), error);
            lines = QStringList{QString::fromLatin1(texts::FileSaveErrorLine)};
        }
    }
    // The main window stays disabled until the view is closed.
    auto *view = new TForm_Save_Report(&main_);
    view->setLines(lines);
    view->setEnabled(true);
    QObject::connect(view, &QObject::destroyed, &main_.connection(), [this] { main_.setEnabled(true); });
    view->show();
    main_.startPollerAt(QThread::NormalPriority);
}

void FileCommands::OPEN1Click()
{
    main_.setEnabled(false);
    main_.stopPoller();
    const QString path = messages_.chooseOpenFile(QStringLiteral("Open"), QLatin1String(kParamFileFilter));
    if (!path.isEmpty()) {
        if (std::optional<QStringList> lines = ReadParamFileLines(path)) {
            while (lines->size() < kParamFileLines)
                lines->append(QString());
            auto *view = new TForm_OPEN_REPORT(&main_);
            view->setLines(*lines);
            view->show();
        }
    }
    main_.setEnabled(true);
    main_.startPollerAt(QThread::NormalPriority);
}

void FileCommands::Compare1Click()
{
    const QString path = messages_.chooseOpenFile(QStringLiteral("Open"), QString());
    if (path.isEmpty())
        return;
    const std::optional<QStringList> lines = ReadParamFileLines(path);
    if (!lines) {
        messages_.show(QStringLiteral("The file %1 can not be opened.").arg(path));
        return;
    }
    auto *window = qobject_cast<TForm_Compare *>(
        main_.childWindows().open([&] { return new TForm_Compare(QFileInfo(path).fileName(), false, &main_); }));
    if (!window)
        return;
    QString error;
    if (!window->compare(main_.session(), *lines, &error))
        messages_.show(error);
}

void FileCommands::Download1Click()
{
    auto *window = qobject_cast<TForm_DownLoad *>(
        main_.childWindows().open([this] { return new TForm_DownLoad(main_.session(), *main_.processWindow(), &main_); }));
    if (window)
        window->chooseFile();
}

} // namespace velmora
