#pragma once

// The last frames on the link, for the link panel: each request with what came of it and
// each reply as taken. Written by whichever thread exchanges, read by the panel.

#include <QByteArray>
#include <QString>

#include <deque>
#include <mutex>
#include <vector>

namespace velmora {

struct LoggedFrame {
    qint64 atMs = 0;   // steady clock (LinkClockMs)
    bool sent = false; // a request; otherwise a reply
    QByteArray bytes;
    QString outcome;   // for a request: what came of it
};

class FrameLog {
public:
    static constexpr int kKeep = 200;

    void add(LoggedFrame frame);
    // The kept frames, oldest first.
    std::vector<LoggedFrame> snapshot() const;
    // Frames added since the start, kept or not.
    quint64 added() const;
    void clear();

    // One frame as a line of text: "12.345  >  01 03 00 0B ...  good".
    static QString line(const LoggedFrame &frame, qint64 originMs = 0);

private:
    mutable std::mutex mutex_;
    std::deque<LoggedFrame> frames_;
    quint64 added_ = 0;
};

} // namespace velmora
