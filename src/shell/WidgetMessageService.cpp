#include "shell/WidgetMessageService.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace velmora {

void WidgetMessageService::show(const QString &text)
{
    // Message texts break lines with a carriage return; a message box wants a line feed.
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox::information(parent_, QApplication::applicationDisplayName(), shown);
}

bool WidgetMessageService::askYesNo(const QString &text)
{
    return QMessageBox::question(parent_, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes;
}

void WidgetMessageService::error(const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent_);
    box.setInformativeText(detail);
    box.exec();
}

QString WidgetMessageService::chooseOpenFile(const QString &caption, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent_, caption, QString(), filter);
}

QString WidgetMessageService::chooseSaveFile(const QString &caption, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent_, caption, QString(), filter);
}

} // namespace velmora
