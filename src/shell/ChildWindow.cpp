#include "shell/ChildWindow.h"

#include <QTimer>

namespace velmora {

ChildWindowProtocol::ChildWindowProtocol(QWidget *mainWindow, PollerHost &host, QObject *parent)
    : QObject(parent), main_(mainWindow), host_(host)
{
}

QWidget *ChildWindowProtocol::open(const std::function<QWidget *()> &create)
{
    if (child_)
        return child_; // the main window is disabled while a child is open; never two
    host_.stopPoller();
    QWidget *child = create();
    if (!child) {
        host_.startPoller();
        return nullptr;
    }
    child->setAttribute(Qt::WA_DeleteOnClose);
    child_ = child;
    main_->setEnabled(false);
    // A top-level child stays usable while its parent is disabled.
    child->setEnabled(true);
    connect(child, &QObject::destroyed, this, &ChildWindowProtocol::onChildGone);
    child->show();
    return child;
}

void ChildWindowProtocol::onChildGone()
{
    main_->setEnabled(true);
    QTimer::singleShot(kRestartPauseMs, this, [this] {
        // A child opened again within the pause has already stopped nothing: the poller
        // is started once per closed child, and only while no other child is open.
        if (!child_)
            host_.startPoller();
        emit childClosed();
    });
}

} // namespace velmora
