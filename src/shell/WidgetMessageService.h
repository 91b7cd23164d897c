#pragma once

#include "link/MessageService.h"

class QWidget;

namespace velmora {

// Real message boxes and file dialogs for the application.
class WidgetMessageService : public MessageService {
public:
    explicit WidgetMessageService(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }

    void show(const QString &text) override;
    bool askYesNo(const QString &text) override;
    void error(const QString &text, const QString &detail) override;
    QString chooseOpenFile(const QString &caption, const QString &filter) override;
    QString chooseSaveFile(const QString &caption, const QString &filter) override;
    int openBoxes() const override { return open_; }

private:
    QWidget *parent_;
    int open_ = 0;
};

} // namespace velmora
