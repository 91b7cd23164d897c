#pragma once

// Request frames, the CRC-16 that closes them, and the decoding of the drive's 32-bit
// registers. Typed values become register words in params/ValueCodec.h.

#include <array>
#include <cstdint>

#include <QString>


namespace velmora {

constexpr int kRequestBufferSize = 200;
constexpr int kWriteWordCount = 100;

struct WriteWord {
    uint16_t high = 0;
    uint16_t low = 0;
};

// The one request being prepared. Only one exchange is ever in progress.
struct RequestState {
    uint8_t stationNumber = 50;
    uint8_t functionCode = 0;
    uint16_t startRegister = 0;
    uint16_t readCount = 0;
    uint16_t writeCount = 0;
    std::array<WriteWord, kWriteWordCount + 1> writeWords{}; // entries 1..100 are used
    uint16_t inputControlWord = 0;
    std::array<uint8_t, kRequestBufferSize> requestBuffer{};
    int32_t frameLength = 0;
};

enum FrameType : uint8_t {
    FrameRead = 3,
    FrameWriteOne = 6,
    FrameWriteSeveral = 16,
    FrameInputControl = 204,
};

// Builds a frame of the given type into req.requestBuffer and returns its length.
// A write-several count is clamped to what the buffer holds (47 registers).
int32_t MAKE_REQUEST_ARRAY(RequestState &req, uint8_t type);

// CRC-16/MODBUS of the first length bytes (length is clamped to the 200-byte buffer).
uint16_t Make_CRCvalue(const uint8_t *bytes, uint16_t length);

// Value of a register from its four bytes read as an IEEE single; FFFFFFFF and 7F800000 read as 0.
float Change_HEX2Float(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);

// Register value decoding of a read reply: whole number when b0 and b1 are 0, else a single.
float DecodeRegisterValue(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);

// The fixed ten-byte command frames: station, seven constant bytes, CRC low byte first.
enum class Command : uint8_t {
    JogOn,
    JogOff,
    JogClockwise,
    JogCounterClockwise,
    JogStop,
    ProgrammedJogMode1,
    ProgrammedJogMode2,
    ProgrammedJogOff,
    PresentAlarmRead,
    AlarmReset,
    AlarmHistoryRead,
    AlarmHistoryClear,
};
constexpr int kCommandCount = 12;
constexpr int kCommandFrameLength = 10;
using CommandFrame = std::array<uint8_t, kCommandFrameLength>;

// Bytes 1..7 of each command, in Command order.
extern const std::array<std::array<uint8_t, 7>, kCommandCount> CommandBytes;

CommandFrame BuildCommandFrame(Command command, uint8_t station);

// Appends the CRC of the first length bytes at buffer[length], low byte first.
void AppendCrc(uint8_t *buffer, int length);
// True when the last two of length bytes are the CRC of the others.
bool CrcMatches(const uint8_t *buffer, int length);

} // namespace velmora
