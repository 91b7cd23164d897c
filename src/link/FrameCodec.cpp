#include "link/FrameCodec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velmora {

namespace {

constexpr std::array<uint16_t, 256> makeCrcTable()
{
    std::array<uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

void putWord(uint8_t *at, uint16_t word)
{
    at[0] = static_cast<uint8_t>(word >> 8);
    at[1] = static_cast<uint8_t>(word & 0xFF);
}

} // namespace

uint16_t Make_CRCvalue(const uint8_t *bytes, uint16_t length)
{
    length = std::min<uint16_t>(length, kRequestBufferSize);
    uint16_t crc = 0xFFFF;
    for (uint16_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ bytes[i]) & 0xFF]);
    return crc;
}

void AppendCrc(uint8_t *buffer, int length)
{
    const uint16_t crc = Make_CRCvalue(buffer, static_cast<uint16_t>(length));
    buffer[length] = static_cast<uint8_t>(crc & 0xFF);
    buffer[length + 1] = static_cast<uint8_t>(crc >> 8);
}

bool CrcMatches(const uint8_t *buffer, int length)
{
    if (length < 3 || length > kRequestBufferSize)
        return false;
    const uint16_t crc = Make_CRCvalue(buffer, static_cast<uint16_t>(length - 2));
    return buffer[length - 2] == (crc & 0xFF) && buffer[length - 1] == (crc >> 8);
}

int32_t MAKE_REQUEST_ARRAY(RequestState &req, uint8_t type)
{
    uint8_t *b = req.requestBuffer.data();
    b[0] = req.stationNumber;
    switch (type) {
    case FrameRead:
        b[1] = 0x03;
        putWord(b + 2, req.startRegister);
        putWord(b + 4, req.readCount);
        AppendCrc(b, 6);
        return 8;
    case FrameWriteOne:
        b[1] = 0x06;
        putWord(b + 2, req.startRegister);
        putWord(b + 4, req.writeWords[1].high);
        putWord(b + 6, req.writeWords[1].low);
        AppendCrc(b, 8);
        return 10;
    case FrameWriteSeveral: {
        // 9 + 4n bytes must fit the request buffer.
        const int n = std::min<int>(req.writeCount, (kRequestBufferSize - 9) / 4);
        b[1] = 0x10;
        putWord(b + 2, req.startRegister);
        putWord(b + 4, static_cast<uint16_t>(n));
        b[6] = static_cast<uint8_t>((4 * n) & 0xFF);
        for (int k = 1; k <= n; ++k) {
            putWord(b + 7 + 4 * (k - 1), req.writeWords[k].high);
            putWord(b + 9 + 4 * (k - 1), req.writeWords[k].low);
        }
        AppendCrc(b, 7 + 4 * n);
        return 9 + 4 * n;
    }
    case FrameInputControl:
        b[1] = 0x06;
        putWord(b + 2, 2000);
        putWord(b + 4, 0);
        putWord(b + 6, req.inputControlWord);
        AppendCrc(b, 8);
        return 10;
    default:
        return 0;
    }
}

float Change_HEX2Float(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3)
{
    const uint32_t bits = (uint32_t(b0) << 24) | (uint32_t(b1) << 16) | (uint32_t(b2) << 8) | b3;
    if (bits == 0xFFFFFFFFu || bits == 0x7F800000u)
        return 0.0f;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

float DecodeRegisterValue(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3)
{
    if (b0 == 0 && b1 == 0)
        return static_cast<float>(b2 * 256 + b3);
    return Change_HEX2Float(b0, b1, b2, b3);
}

const std::array<std::array<uint8_t, 7>, kCommandCount> CommandBytes = {{
    {0x46, 0x08, 0x98, 0x00, 0x00, 0x00, 0x01}, // jog on
    {0x46, 0x08, 0x99, 0x00, 0x00, 0x00, 0x02}, // jog off
    {0x46, 0x08, 0x9A, 0x00, 0x00, 0x00, 0x03}, // jog clockwise
    {0x46, 0x08, 0x9B, 0x00, 0x00, 0x00, 0x04}, // jog counter-clockwise
    {0x46, 0x08, 0x9C, 0x00, 0x00, 0x00, 0x05}, // jog stop
    {0x06, 0x03, 0xEA, 0x00, 0x00, 0x00, 0x01}, // programmed jog, mode 1
    {0x06, 0x03, 0xEA, 0x00, 0x00, 0x00, 0x02}, // programmed jog, mode 2
    {0x06, 0x03, 0xEA, 0x00, 0x00, 0x00, 0x00}, // programmed jog off
    {0x50, 0x08, 0x34, 0x00, 0x00, 0x00, 0x01}, // present alarm read
    {0x49, 0x08, 0x35, 0x00, 0x00, 0x00, 0x02}, // alarm reset
    {0x50, 0x08, 0x36, 0x00, 0x00, 0x00, 0x03}, // alarm history read
    {0x49, 0x08, 0x37, 0x00, 0x00, 0x00, 0x04}, // alarm history clear
}};

CommandFrame BuildCommandFrame(Command command, uint8_t station)
{
    CommandFrame frame{};
    frame[0] = station;
    const auto &row = CommandBytes[static_cast<size_t>(command)];
    std::copy(row.begin(), row.end(), frame.begin() + 1);
    AppendCrc(frame.data(), 8);
    return frame;
}

} // namespace velmora
