#pragma once

// Tools for fault tests through the windows: message boxes that stay open like real modal
// ones (a nested event loop) and count how many are open at once, and a watchdog of the
// test's own that measures how long the user-interface thread's event loop stalls and
// ends the process if the test hangs (a deadlock would otherwise only meet CTest's timeout).

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "link/MessageService.h"

namespace velmora {

class ModalMessages : public RecordingMessageService {
public:
    int holdMs = 0;  // how long each box stays up before the user presses OK
    std::function<void(const QString &)> whileOpen; // runs once each box is up
    int open = 0;
    int maxOpen = 0;
    QStringList stacked; // "outer / inner" for every box opened while another was up

    void show(const QString &text) override
    {
        RecordingMessageService::show(text);
        hold(text);
    }
    void error(const QString &text, const QString &detail) override
    {
        RecordingMessageService::error(text, detail);
        hold(text);
    }
    int openBoxes() const override { return open; }

private:
    void hold(const QString &text)
    {
        if (!openTexts_.isEmpty())
            stacked << openTexts_.join(QStringLiteral(" / ")) + QStringLiteral(" / ") + text;
        openTexts_ << text;
        ++open;
        maxOpen = std::max(maxOpen, open);
        if (whileOpen)
            whileOpen(text);
        if (holdMs > 0) {
            QEventLoop loop;
            QTimer::singleShot(holdMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        --open;
        openTexts_.removeLast();
    }

    QStringList openTexts_;
};

class StallWatchdog {
public:
    // Ends the process with a message when done() has not been called within limitMs.
    StallWatchdog(const char *what, int limitMs) : what_(what), limitMs_(limitMs)
    {
        beat_.setInterval(10);
        QObject::connect(&beat_, &QTimer::timeout, [this] {
            const qint64 now = nowMs();
            const qint64 gap = now - lastBeat_.exchange(now);
            if (gap > maxGapMs_)
                maxGapMs_ = gap;
        });
        lastBeat_ = nowMs();
        beat_.start();
        thread_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (!cv_.wait_for(lock, std::chrono::milliseconds(limitMs_), [this] { return done_; })) {
                std::fprintf(stderr, "FAIL: %s did not finish within %d ms: the user-interface thread is stuck\n",
                             what_, limitMs_);
                std::fflush(stderr);
                std::_Exit(3);
            }
        });
    }
    ~StallWatchdog() { done(); }
    void done()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable())
            thread_.join();
        beat_.stop();
    }
    // The longest the event loop went without running a timer, in ms.
    qint64 longestStallMs() const { return maxGapMs_; }
    void resetStall() { maxGapMs_ = 0; lastBeat_ = nowMs(); }

private:
    static qint64 nowMs()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    const char *what_;
    int limitMs_;
    QTimer beat_;
    std::atomic<qint64> lastBeat_{0};
    qint64 maxGapMs_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
};

} // namespace velmora
