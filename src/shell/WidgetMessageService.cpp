#include "shell/WidgetMessageService.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "link/KeptSettings.h"

namespace velmora {

namespace {
// Counts a box or dialog as open for as long as it waits for the user.
struct Open {
    explicit Open(int &count) : count_(count) { ++count_; }
    ~Open() { --count_; }
    int &count_;
};
} // namespace

void WidgetMessageService::show(const QString &text)
{
    const Open open(open_);
    // Message texts break lines with a carriage return; a message box wants a line feed.
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox::information(parent_, QApplication::applicationDisplayName(), shown);
}

bool WidgetMessageService::askYesNo(const QString &text)
{
    const Open open(open_);
    return QMessageBox::question(parent_, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void WidgetMessageService::error(const QString &text, const QString &detail)
{
    const Open open(open_);
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent_);
    box.setInformativeText(detail);
    box.exec();
}

namespace {
// The file dialogs start in the folder of the last file chosen, kept between runs.
const QString kFolderKey = QStringLiteral("folders/lastFile");

QString keptFolder(const QString &chosen)
{
    if (!chosen.isEmpty())
        KeptSettings::setValue(kFolderKey, QFileInfo(chosen).absolutePath());
    return chosen;
}
} // namespace

QString WidgetMessageService::chooseOpenFile(const QString &caption, const QString &filter)
{
    const Open open(open_);
    return keptFolder(QFileDialog::getOpenFileName(parent_, caption, KeptSettings::value(kFolderKey).toString(), filter));
}

QString WidgetMessageService::chooseSaveFile(const QString &caption, const QString &filter)
{
    const Open open(open_);
    return keptFolder(QFileDialog::getSaveFileName(parent_, caption, KeptSettings::value(kFolderKey).toString(), filter));
}

} // namespace velmora
