#pragma once

// The yardstick for the tool's own rate on a paced simulator: a serial master as plain as
// one can be (write the request, poll() until the whole reply is in, next request; no Qt).

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace velmora {

inline speed_t termiosSpeed(int baud)
{
    switch (baud) {
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

// Runs the exchanges (request, reply length) in turn, round after round, for `seconds`.
// Returns rounds per second; 0 when the device does not open.
inline double MinimalClientRate(const QString &device, int baud, int seconds,
                                const std::vector<std::pair<QByteArray, int>> &exchanges)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return 0;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, termiosSpeed(baud));
    cfsetospeed(&t, termiosSpeed(baud));
    tcsetattr(fd, TCSANOW, &t);
    tcflush(fd, TCIOFLUSH);
    auto exchange = [fd](const QByteArray &request, int replyLength) {
        if (::write(fd, request.constData(), size_t(request.size())) != request.size())
            return false;
        char buffer[256];
        int got = 0;
        while (got < replyLength) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                return false;
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            got += int(n);
        }
        return true;
    };
    QElapsedTimer clock;
    clock.start();
    int rounds = 0;
    while (clock.elapsed() < seconds * 1000) {
        for (const auto &[request, replyLength] : exchanges)
            if (!exchange(request, replyLength))
                break;
        ++rounds;
    }
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;
    ::close(fd);
    return rounds / elapsed;
}

} // namespace velmora
