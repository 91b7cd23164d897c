#include "link/LoopThread.h"

#include <QEventLoop>

namespace velmora {

void LoopThread::stopAndWait()
{
    stop_ = true;
    if (!isRunning())
        return;
    QEventLoop loop;
    connect(this, &QThread::finished, &loop, &QEventLoop::quit);
    if (isRunning())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    wait();
}

void LoopThread::run()
{
    try {
        while (!stop_ && round())
            ++rounds_;
    } catch (...) {
        // A fault inside a round ends the loop; the owner sees the thread finished.
    }
}

} // namespace velmora
