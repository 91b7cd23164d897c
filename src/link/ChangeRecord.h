#pragma once

// The session's record of changes: every register write the tool sends (one value or
// several), with the value last read from that register before it, the value written, what
// came of the write and the value read back after it. Kept by the link itself from the
// frames exchanged, so no write escapes it and it shows exactly what went on the wire.

#include <QByteArray>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace velmora {

enum class ReplyOutcome : uint8_t;
struct ExchangeResult;

struct ChangeEntry {
    qint64 atMs = 0; // wall clock, ms since the epoch
    uint8_t station = 0;
    uint16_t address = 0;
    std::optional<quint32> before; // the register as last read before the write, if it was
    quint32 written = 0;           // the 32-bit register word sent
    ReplyOutcome outcome{};
    // The first good read of the register after the write, whatever came of the write: after
    // a write without an answer it tells whether the write took.
    std::optional<quint32> readBack;
};

class ChangeRecord {
public:
    // One exchange as it ended: writes are recorded, good reads remembered.
    void note(const QByteArray &request, const ExchangeResult &result);

    std::vector<ChangeEntry> entries() const;
    // Entries not yet saved (markSaved moves the mark to the end).
    size_t unsaved() const;
    void markSaved(size_t upTo);

private:
    mutable std::mutex mutex_;
    std::vector<ChangeEntry> entries_;
    std::map<quint32, quint32> lastRead_; // station << 16 | address -> register word
    size_t saved_ = 0;
};

} // namespace velmora
