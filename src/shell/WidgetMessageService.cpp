#include "shell/WidgetMessageService.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace velmora {

void WidgetMessageService::show(const QString &text)
{
    QMessageBox::information(parent_, QApplication::applicationDisplayName(), text);
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
