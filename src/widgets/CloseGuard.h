#pragma once

// Keeps a window alive while one of its handlers waits in an exchange: the wait runs a
// nested event loop, and a close that deleted the window there would pull it from under
// the handler. A close asked for meanwhile is carried out when the last handler returns.

#include <QCloseEvent>
#include <QWidget>

namespace velmora {

class CloseGuard {
public:
    explicit CloseGuard(QWidget &window) : window_(window) {}

    template <class Handler> void run(Handler &&handler)
    {
        ++busy_;
        handler();
        if (--busy_ == 0 && pending_) {
            pending_ = false;
            window_.close();
        }
    }

    // For closeEvent: true when the close has to wait (the event is then ignored).
    bool holdBack(QCloseEvent *event)
    {
        if (busy_ == 0)
            return false;
        pending_ = true;
        event->ignore();
        return true;
    }

    bool busy() const { return busy_ > 0; }

private:
    QWidget &window_;
    int busy_ = 0;
    bool pending_ = false;
};

} // namespace velmora
