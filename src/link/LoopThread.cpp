#include "link/LoopThread.h"

#include <QEventLoop>

#include <exception>

#include "link/LinkLog.h"

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

QString LoopThread::failure() const
{
    return isFinished() ? failure_ : QString();
}

void LoopThread::run()
{
    try {
        while (!stop_) {
            if (!round()) {
                end_ = End::Ended;
                return;
            }
            ++rounds_;
        }
        end_ = End::Stopped;
    } catch (const std::exception &e) {
        failure_ = QString::fromLocal8Bit(e.what());
        qCCritical(lcWorker) << metaObject()->className() << "ended by a fault:" << failure_;
        end_ = End::Failed;
    } catch (...) {
        failure_ = QStringLiteral("unknown exception");
        qCCritical(lcWorker) << metaObject()->className() << "ended by a fault of unknown kind";
        end_ = End::Failed;
    }
}

} // namespace velmora
