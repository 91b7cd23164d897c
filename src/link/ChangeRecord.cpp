#include "link/ChangeRecord.h"

#include <QDateTime>

#include "link/DriveSession.h"

namespace velmora {

namespace {
quint16 word16(const QByteArray &b, int at) { return quint16((quint8(b[at]) << 8) | quint8(b[at + 1])); }
quint32 word32(const QByteArray &b, int at) { return (quint32(word16(b, at)) << 16) | word16(b, at + 2); }
quint32 key(uint8_t station, quint16 address) { return (quint32(station) << 16) | address; }
} // namespace

void ChangeRecord::note(const QByteArray &request, const ExchangeResult &result)
{
    if (request.size() < 8)
        return;
    const uint8_t station = uint8_t(request[0]);
    const uint8_t function = uint8_t(request[1]);
    const std::lock_guard<std::mutex> lock(mutex_);
    if (function == 3) {
        if (!result.good())
            return;
        const quint16 start = word16(request, 2);
        const quint16 count = word16(request, 4);
        const QByteArray &reply = result.reply;
        for (int i = 0; i < count && 3 + 4 * i + 4 <= reply.size() - 2; ++i) {
            const quint16 address = quint16(start + i);
            const quint32 value = word32(reply, 3 + 4 * i);
            lastRead_[key(station, address)] = value;
            for (ChangeEntry &e : entries_)
                if (e.station == station && e.address == address && !e.readBack)
                    e.readBack = value;
        }
        return;
    }
    std::vector<std::pair<quint16, quint32>> writes;
    if (function == 6 && request.size() == 10) {
        writes.emplace_back(word16(request, 2), word32(request, 4));
    } else if (function == 16 && request.size() >= 9) {
        const quint16 start = word16(request, 2);
        const int n = word16(request, 4);
        for (int i = 0; i < n && 7 + 4 * i + 4 <= request.size() - 2; ++i)
            writes.emplace_back(quint16(start + i), word32(request, 7 + 4 * i));
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const auto &[address, value] : writes) {
        ChangeEntry e;
        e.atMs = now;
        e.station = station;
        e.address = address;
        if (const auto it = lastRead_.find(key(station, address)); it != lastRead_.end())
            e.before = it->second;
        e.written = value;
        e.outcome = result.outcome;
        entries_.push_back(e);
    }
}

std::vector<ChangeEntry> ChangeRecord::entries() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
}

size_t ChangeRecord::unsaved() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size() - saved_;
}

void ChangeRecord::markSaved(size_t upTo)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    saved_ = std::min(upTo, entries_.size());
}

} // namespace velmora
