// vd840-sim: the simulated VD-840 drive served on a pseudo-terminal, so that any serial
// program can talk to it. The first line on standard output is the device to open.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "SimDrive.h"

namespace {

constexpr char kUsage[] =
    "Usage: vd840-sim [options]\n"
    "Serves a simulated VD-840 servo drive on a pseudo-terminal and prints the device path\n"
    "as the first line of standard output. Runs until SIGTERM or SIGINT.\n"
    "\n"
    "Options:\n"
    "  --help          show this text and exit\n"
    "  --station N     station number the drive answers to (0 to 255, default 1); given more\n"
    "                  than once, one drive per number shares the line (each hears every request,\n"
    "                  only the one addressed answers; the fault options apply to each)\n"
    "  --baud N        pace the line: every byte of a request and its reply costs 10/N s\n"
    "  --drop N        drop the replies to the first N requests (they still take effect)\n"
    "  --delay MS      answer every request MS milliseconds late\n"
    "  --chunk N       send replies N bytes at a time (1 ms apart unless --baud paces them)\n"
    "  --silent        answer nothing at all\n"
    "  --echo          send every request back on the line before the reply, as a two-wire\n"
    "                  RS-485 adapter without echo suppression does\n"
    "  --listen-baud N the drives listen at N baud: a request sent while the client has set the\n"
    "                  pseudo-terminal to another speed arrives as noise and gets no answer\n"
    "  --link PATH     also make PATH a symbolic link to the device (an existing link is replaced)\n";

volatile sig_atomic_t stopRequested = 0;
int wakeFd = -1;

void onSignal(int)
{
    stopRequested = 1;
    const char c = 0;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &c, 1);
}

bool parseNumber(const char *text, long min, long max, long &out)
{
    if (!text || !*text)
        return false;
    errno = 0;
    char *end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max)
        return false;
    out = v;
    return true;
}

int usageError(const std::string &message)
{
    std::fprintf(stderr, "vd840-sim: %s\n(--help lists the options)\n", message.c_str());
    return 2;
}

bool makeRaw(int fd)
{
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

using Clock = std::chrono::steady_clock;

long SpeedValue(speed_t s)
{
    switch (s) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return -1;
    }
}

struct Pending {
    Clock::time_point due;
    QByteArray bytes;
};

} // namespace

int main(int argc, char **argv)
{
    long station = 1, baud = 0, drop = 0, delayMs = 0, chunk = 0, listenBaud = 0;
    std::vector<long> stations;
    bool silent = false, echo = false;
    std::string linkPath;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](long min, long max, long &out) {
            if (i + 1 >= argc)
                return false;
            return parseNumber(argv[++i], min, max, out);
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--station") {
            if (!value(0, 255, station))
                return usageError("--station needs a number from 0 to 255");
            stations.push_back(station);
        } else if (arg == "--baud") {
            if (!value(0, 10'000'000, baud))
                return usageError("--baud needs a number of bits per second (0: no pacing)");
        } else if (arg == "--drop") {
            if (!value(0, INT_MAX, drop))
                return usageError("--drop needs a count");
        } else if (arg == "--delay") {
            if (!value(0, 3'600'000, delayMs))
                return usageError("--delay needs milliseconds");
        } else if (arg == "--chunk") {
            if (!value(0, 1'000'000, chunk))
                return usageError("--chunk needs a number of bytes (0: whole replies)");
        } else if (arg == "--listen-baud") {
            if (!value(1, 10'000'000, listenBaud))
                return usageError("--listen-baud needs a number of bits per second");
        } else if (arg == "--silent") {
            silent = true;
        } else if (arg == "--echo") {
            echo = true;
        } else if (arg == "--link") {
            if (i + 1 >= argc || !*argv[i + 1])
                return usageError("--link needs a path");
            linkPath = argv[++i];
        } else {
            return usageError("unknown option: " + arg);
        }
    }

    int master = -1, slave = -1;
    char device[PATH_MAX] = {};
    if (::openpty(&master, &slave, device, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "vd840-sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    // Raw at once, before any client can open the device: echo or line editing would
    // mangle binary frames. The slave stays open here so that a client closing the device
    // does not leave the master with hang-ups until the next one opens it.
    if (!makeRaw(slave) || !makeRaw(master)) {
        std::fprintf(stderr, "vd840-sim: cannot make the pseudo-terminal raw: %s\n", std::strerror(errno));
        return 1;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    // A line never waits for its listener: what nobody reads is lost, not blocking the drive.
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!linkPath.empty()) {
        struct stat st{};
        if (::lstat(linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            ::unlink(linkPath.c_str());
        if (::symlink(device, linkPath.c_str()) != 0) {
            std::fprintf(stderr, "vd840-sim: cannot create the link %s: %s\n", linkPath.c_str(), std::strerror(errno));
            return 1;
        }
    }

    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::fprintf(stderr, "vd840-sim: %s\n", std::strerror(errno));
        return 1;
    }
    wakeFd = wake[1];
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    if (stations.empty())
        stations.push_back(1);
    std::vector<std::unique_ptr<velmora::SimDrive>> drives;
    for (long number : stations) {
        auto &drive = *drives.emplace_back(std::make_unique<velmora::SimDrive>(static_cast<uint8_t>(number)));
        drive.setPacingBaud(static_cast<int>(baud));
        drive.dropNextReplies(static_cast<int>(drop));
        drive.setReplyDelayMs(static_cast<int>(delayMs));
        drive.setChunkSize(static_cast<int>(chunk));
        drive.setSilent(silent);
    }
    // The client's speed setting lives in the slave's termios, which this end shares.
    auto heardAtOurSpeed = [&] {
        if (listenBaud == 0)
            return true;
        termios t{};
        if (::tcgetattr(slave, &t) != 0)
            return false;
        return SpeedValue(::cfgetospeed(&t)) == listenBaud;
    };

    std::printf("%s\n", device);
    std::fflush(stdout);

    std::deque<Pending> pending;
    Clock::time_point lineFree{};
    char buffer[4096];
    while (!stopRequested) {
        const auto now = Clock::now();
        timespec timeout{};
        timespec *wait = nullptr;
        if (!pending.empty()) {
            const auto left = std::max(Clock::duration::zero(), pending.front().due - now);
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            wait = &timeout;
        }
        pollfd fds[2] = {{master, POLLIN, 0}, {wake[0], POLLIN, 0}};
        if (::ppoll(fds, 2, wait, nullptr) < 0 && errno != EINTR)
            break;
        if (stopRequested)
            break;

        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            // The adapter hears its own transmission whatever the drives make of it.
            if (n > 0 && echo)
                pending.push_back(Pending{Clock::now(), QByteArray(buffer, static_cast<int>(n))});
            if (n > 0 && heardAtOurSpeed()) {
                // One line: a reply cannot overtake the one still going out.
                auto due = std::max(Clock::now(), lineFree);
                for (auto &drive : drives) {
                    const auto pieces = drive->receive(QByteArray(buffer, static_cast<int>(n)));
                    for (const velmora::ReplyPiece &p : pieces) {
                        due += std::chrono::microseconds(p.delayUs);
                        pending.push_back(Pending{due, p.bytes});
                    }
                }
                lineFree = due;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Not expected while the slave is held open; never spin on it.
            const timespec pause{0, 10'000'000};
            ::nanosleep(&pause, nullptr);
        }

        while (!pending.empty() && pending.front().due <= Clock::now()) {
            const QByteArray &bytes = pending.front().bytes;
            [[maybe_unused]] const ssize_t n = ::write(master, bytes.constData(), static_cast<size_t>(bytes.size()));
            pending.pop_front();
        }
    }

    if (!linkPath.empty())
        ::unlink(linkPath.c_str());
    ::close(master);
    ::close(slave);
    return 0;
}
