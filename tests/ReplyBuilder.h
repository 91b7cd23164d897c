#pragma once

// Frames for tests: replies as a drive would frame them, for tests that play the drive
// themselves, and requests as the tool builds them.

#include <QByteArray>
#include <QList>

#include <cstring>

#include "link/FrameCodec.h"

// A read request, built by the tool's own frame builder, so the tests also pin the two
// ends of the link to one another.
inline QByteArray readFrame(uint16_t start, uint16_t count, uint8_t station = 1)
{
    velmora::RequestState req;
    req.stationNumber = station;
    req.startRegister = start;
    req.readCount = count;
    const int n = velmora::MAKE_REQUEST_ARRAY(req, velmora::FrameRead);
    return QByteArray(reinterpret_cast<const char *>(req.requestBuffer.data()), n);
}

inline QByteArray withCrc(const QByteArray &body)
{
    QByteArray f = body;
    f.resize(body.size() + 2);
    velmora::AppendCrc(reinterpret_cast<uint8_t *>(f.data()), body.size());
    return f;
}

// A read reply carrying the given register values: reals as singles, whole numbers (marked
// by whole = true) as 0x0000 plus their 16 bits.
inline QByteArray readReply(uint8_t station, const QList<float> &values, bool whole = false)
{
    QByteArray body;
    body.append(char(station));
    body.append(char(3));
    body.append(char(values.size() * 4));
    for (float v : values) {
        uint32_t bits;
        if (whole) {
            bits = static_cast<uint16_t>(static_cast<int>(v));
        } else {
            std::memcpy(&bits, &v, 4);
        }
        for (int shift = 24; shift >= 0; shift -= 8)
            body.append(char((bits >> shift) & 0xFF));
    }
    return withCrc(body);
}

inline QByteArray ioReply(uint8_t station, uint16_t inputs, uint16_t outputs)
{
    QByteArray body;
    body.append(char(station));
    body.append(char(3));
    body.append(char(4));
    body.append(char(inputs >> 8));
    body.append(char(inputs & 0xFF));
    body.append(char(outputs >> 8));
    body.append(char(outputs & 0xFF));
    return withCrc(body);
}
