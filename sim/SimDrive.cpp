#include "SimDrive.h"

#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <numbers>

#include "link/FrameCodec.h"
#include "params/Catalogue.h"

namespace velmora {

namespace {

constexpr uint16_t kLastRegister = 1018;
constexpr uint16_t kIoRegister = 26;
constexpr uint16_t kVersionRegister = 27;
constexpr uint16_t kFirstParameter = 100;
constexpr uint16_t kLastParameter = 907;
constexpr uint16_t kStationRegister = 117;   // P1-18
constexpr uint16_t kEncoderPulses = 112;     // P1-13
constexpr uint16_t kCcwTorqueLimit = 202;    // P2-03
constexpr uint16_t kCwTorqueLimit = 203;     // P2-04
constexpr uint16_t kCcwSpeedLimit = 204;     // P2-05
constexpr uint16_t kCwSpeedLimit = 205;      // P2-06
constexpr uint16_t kAutoTuning = 216;        // P2-17
constexpr uint16_t kInertiaRatio = 218;      // P2-19
constexpr uint16_t kInitialise = 228;        // P2-29
constexpr uint16_t kAccelTime = 309;         // P3-10
constexpr uint16_t kDecelTime = 310;         // P3-11
constexpr uint16_t kInSpeedRange = 312;      // P3-13
constexpr uint16_t kZeroSpeedRange = 313;    // P3-14
constexpr uint16_t kPositionGain = 504;      // P5-05
constexpr uint16_t kFirstInputFunction = 700;
constexpr uint16_t kFirstOutputFunction = 800;
constexpr uint16_t kJogSpeed = 1001;
constexpr uint16_t kPatternMode = 1002;
constexpr uint16_t kFirstPatternStep = 1003;
constexpr uint16_t kInputControl = 2000;
constexpr uint16_t kPresentAlarmRead = 2100;
constexpr uint16_t kAlarmReset = 2101;
constexpr uint16_t kHistoryRead = 2102;
constexpr uint16_t kHistoryClear = 2103;
constexpr uint16_t kFirstJogCommand = 2200; // on, off, cw, ccw, stop
constexpr int kInputPins = 12;
constexpr int kOutputPins = 10;
constexpr int kPatternSteps = 8;

enum FunctionCode : uint8_t {
    FcRead = 3,
    FcWriteOne = 6,
    FcWriteSeveral = 16,
    FcJog = 70,
    FcAlarmCommand = 73,
    FcAlarmRead = 80,
};

enum ExceptionCode : uint8_t {
    IllegalFunction = 1,
    IllegalAddress = 2,
    IllegalValue = 3,
    DeviceFailure = 4, // the request is understood but the drive's state forbids it
};

// Pin functions the model reacts to (index into InputFunctionNames / OutputFunctionNames).
enum InputFunction { InSvonen = 1, InEstop = 16, InAlarmReset = 19 };
enum OutputFunction {
    OutServoOn = 1, OutBrake = 3, OutZeroTorque = 4, OutZeroSpeed = 5, OutInSpeed = 6,
    OutReady = 7, OutCwRun = 12, OutCcwRun = 13, OutAlarm = 14, OutAlarmCode0 = 15,
};

constexpr float kProgramVersion = 1.04f;
constexpr float kDisplaySelect = 100.0f;
// The inertia ratio the auto tuning converges on while the motor moves.
constexpr double kLoadInertiaRatio = 4.3;
// A partial frame older than this is a torn frame, not the start of the next one.
constexpr qint64 kStaleFrameUs = 200'000;
// Unpaced chunks are spaced so that a pseudo-terminal does not merge them again.
constexpr qint64 kChunkGapUs = 1'000;
// Longest stretch of time one model update integrates; an idle drive loses the rest.
constexpr double kMaxCatchUpSeconds = 60.0;
constexpr double kModelStepSeconds = 0.01;
constexpr size_t kTrafficCap = 100'000;

enum class Kind : uint8_t { None, Real, Whole, IoWord };

struct RegisterInfo {
    std::array<const TParamDef *, kLastRegister + 1> defs{};
    std::array<Kind, kLastRegister + 1> kinds{};
};

// FindParamDef walks the catalogue; a table indexed by address keeps the hot path flat.
const RegisterInfo &registers()
{
    static const RegisterInfo info = [] {
        RegisterInfo r;
        for (int a = 0; a <= kLastRegister; ++a) {
            const TParamDef *def = FindParamDef(static_cast<uint16_t>(a));
            r.defs[a] = def;
            if (!def)
                r.kinds[a] = Kind::None;
            else if (a == kIoRegister)
                r.kinds[a] = Kind::IoWord;
            else if (a == kVersionRegister || def->IsReal) // the version is a single despite its record
                r.kinds[a] = Kind::Real;
            else
                r.kinds[a] = Kind::Whole;
        }
        return r;
    }();
    return info;
}

Kind kindOf(uint16_t address)
{
    return address <= kLastRegister ? registers().kinds[address] : Kind::None;
}

bool writable(uint16_t address)
{
    return address >= kFirstParameter && kindOf(address) != Kind::None;
}

uint32_t floatBits(float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

float bitsFloat(uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

uint32_t encode(Kind kind, double value)
{
    if (kind == Kind::Real)
        return floatBits(static_cast<float>(value));
    // Bounded first: llround of a value beyond 64 bits is unspecified.
    const auto whole = std::llround(std::clamp(value, -4294967295.0, 4294967295.0));
    if (kind == Kind::IoWord)
        return static_cast<uint32_t>(whole);
    // Like the tool's whole-number encoder: the low 16 bits, two's complement for negatives.
    return static_cast<uint32_t>(whole) & 0xFFFFu;
}

double decode(Kind kind, uint32_t raw)
{
    switch (kind) {
    case Kind::Real: return bitsFloat(raw);
    case Kind::Whole: return raw & 0xFFFFu;
    case Kind::IoWord: return raw;
    case Kind::None: break;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

// Parameter defaults that are not simply 0 (or the bound nearest 0).
struct Default {
    uint16_t address;
    float value;
};
constexpr Default kDefaults[] = {
    // P1: a custom motor (code 0) with its data filled in
    {101, 2.85f}, {102, 3.52f}, {103, 4.2f}, {104, 1.35f}, {105, 2.8f}, {106, 3000}, {107, 5000},
    {108, 24}, {109, 8}, {110, 4}, {111, 1}, {112, 2500}, {113, 2500}, {114, 3},
    // P2
    {200, 1}, {201, 100}, {202, 300}, {203, -300}, {204, 5000}, {205, -5000}, {206, 50}, {207, 100},
    {210, 300}, {211, 50}, {213, 500}, {214, 50}, {215, 0.5f}, {217, 5}, {218, 1}, {219, 100},
    {220, 50}, {221, 100}, {222, 50}, {229, 10},
    // P3
    {300, 1}, {301, 100}, {304, 50}, {305, 20}, {306, 50}, {307, 20}, {308, 1}, {309, 100},
    {310, 100}, {312, 10}, {313, 10}, {314, 3000}, {315, -3000}, {321, 0.5f},
    // P4: preset speeds and torques
    {400, 100}, {401, 200}, {402, 500}, {403, 1000}, {404, 1500}, {405, 2000}, {406, 3000},
    {407, 10}, {408, 20}, {409, 30}, {410, 50}, {411, 70}, {412, 100}, {413, 150},
    // P5
    {500, 1}, {504, 50}, {505, 50}, {506, 100}, {507, 10}, {508, 30000}, {511, 1}, {512, 1},
    {513, 1}, {514, 1}, {515, 1}, {516, 1}, {517, 1}, {518, 1}, {520, 10},
    // P6
    {600, 1}, {604, 5}, {605, 5}, {606, 100},
    // P7: SVONEN, SPD1, SPD2, SPD3, DIR, PI/P, CCWLIM, CWLIM, TLIM, ESTOP, STOP, ALMRST
    {700, 1}, {701, 9}, {702, 10}, {703, 11}, {704, 3}, {705, 4}, {706, 13}, {707, 14},
    {708, 12}, {709, 16}, {710, 15}, {711, 19},
    // P8: A_CODE3, BRAKE, INSPD/INPOS, ZSPD, RDY, TRQO/SPDO, ALARM, A_CODE0, A_CODE1, A_CODE2
    {800, 18}, {801, 3}, {802, 6}, {803, 5}, {804, 7}, {805, 9}, {806, 14}, {807, 15},
    {808, 16}, {809, 17},
    // P9
    {902, 1}, {904, 1}, {906, 1},
    // jog speed and a back-and-forth pattern
    {1001, 100}, {1003, 500}, {1004, 2}, {1005, -500}, {1006, 2},
};

double defaultValue(uint16_t address)
{
    for (const Default &d : kDefaults) {
        if (d.address == address)
            return d.value;
    }
    const TParamDef *def = registers().defs[address];
    return std::clamp(0.0, static_cast<double>(def->MinValue), static_cast<double>(def->MaxValue));
}

uint16_t word(const QByteArray &b, int at)
{
    return static_cast<uint16_t>((static_cast<uint8_t>(b[at]) << 8) | static_cast<uint8_t>(b[at + 1]));
}

uint32_t dword(const QByteArray &b, int at)
{
    return (static_cast<uint32_t>(word(b, at)) << 16) | word(b, at + 2);
}

void putWord(QByteArray &b, uint16_t w)
{
    b.append(static_cast<char>(w >> 8));
    b.append(static_cast<char>(w & 0xFF));
}

void putDword(QByteArray &b, uint32_t v)
{
    putWord(b, static_cast<uint16_t>(v >> 16));
    putWord(b, static_cast<uint16_t>(v & 0xFFFF));
}

QByteArray withCrc(QByteArray body)
{
    const int n = body.size();
    body.resize(n + 2);
    AppendCrc(reinterpret_cast<uint8_t *>(body.data()), n);
    return body;
}

QByteArray exceptionReply(uint8_t station, uint8_t fc, uint8_t code)
{
    QByteArray b;
    b.append(static_cast<char>(station));
    b.append(static_cast<char>(fc | 0x80));
    b.append(static_cast<char>(code));
    return withCrc(b);
}

bool crcGood(const QByteArray &b, int at, int length)
{
    return CrcMatches(reinterpret_cast<const uint8_t *>(b.constData()) + at, length);
}

// Length of the request frame that starts at b[at], from its function code: -1 while the
// bytes that tell are missing, 0 when the code gives no length (unknown, or too long).
int declaredLength(const QByteArray &b, int at)
{
    const int n = b.size() - at;
    if (n < 2)
        return -1;
    switch (static_cast<uint8_t>(b[at + 1])) {
    case FcRead:
        return 8;
    case FcWriteOne:
    case FcJog:
    case FcAlarmCommand:
    case FcAlarmRead:
        return 10;
    case FcWriteSeveral: {
        if (n < 7)
            return -1;
        const int length = 9 + static_cast<uint8_t>(b[at + 6]);
        return length <= SimDrive::kMaxFrameLength ? length : 0;
    }
    default:
        return 0;
    }
}

qint64 positiveMod(qint64 v, qint64 m)
{
    const qint64 r = v % m;
    return r < 0 ? r + m : r;
}

} // namespace

struct SimDrive::Impl {
    std::array<uint32_t, kLastRegister + 1> regs{};
    // What the motion model last wrote into each status register: it overwrites only what it
    // changes, so a value a test sets stays until the model has something new to say.
    std::array<uint32_t, kLastRegister + 1> modelled{};

    uint16_t inputs = 0;
    std::optional<uint16_t> forcedOutputs;
    int alarm = 0;
    std::deque<int> history; // newest first

    bool jogMode = false;
    int jogDirection = 0;
    int patternStep = 0;
    double patternProgress = 0; // seconds (mode 1) or revolutions (mode 2) into the step
    double speed = 0;           // rpm
    double commandSpeed = 0;
    double torque = 0;          // %
    double load = 0;
    double maxLoad = 0;
    double revolutions = 0;
    double inertiaEstimate = 1;

    QElapsedTimer clock;
    qint64 clockOffsetUs = 0;
    qint64 lastUpdateUs = 0;

    QByteArray rx;
    qint64 lastRxUs = 0;
    QByteArray discardRun;

    int dropCount = 0;
    int corruptCount = 0;
    int exceptionCount = 0;
    uint8_t exceptionCode = DeviceFailure;
    int replyDelayMs = 0;
    int nextDelayMs = 0;
    int chunkSize = 0;
    int pacingBaud = 0;
    bool silent = false;
    QByteArray stray;

    std::vector<TrafficEntry> log;

    explicit Impl(uint8_t station)
    {
        clock.start();
        for (int a = 0; a <= kLastRegister; ++a) {
            if (writable(static_cast<uint16_t>(a)))
                set(static_cast<uint16_t>(a), defaultValue(static_cast<uint16_t>(a)));
        }
        // The constructor takes any station byte; only writes are held to P1-18's range.
        regs[kStationRegister] = station;
        set(10, kDisplaySelect);
        set(kVersionRegister, kProgramVersion);
        inertiaEstimate = value(kInertiaRatio);
        const int estop = lastInputWith(InEstop);
        if (estop >= 0)
            inputs = static_cast<uint16_t>(1u << estop); // the emergency stop circuit is closed
        writeStatus();
    }

    // ---- registers ----
    double value(uint16_t a) const { return decode(kindOf(a), regs[a]); }
    void set(uint16_t a, double v) { regs[a] = encode(kindOf(a), v); }
    int whole(uint16_t a) const { return static_cast<int>(regs[a] & 0xFFFFu); }

    uint8_t station() const { return static_cast<uint8_t>(regs[kStationRegister] & 0xFF); }

    void restoreDefaults()
    {
        // The station stays: a drive that changed its address here would drop the tool that
        // asked for the initialisation, in the middle of its session.
        for (uint16_t a = kFirstParameter; a <= kLastParameter; ++a) {
            if (writable(a) && a != kStationRegister)
                set(a, defaultValue(a));
        }
        inertiaEstimate = value(kInertiaRatio);
    }

    // ---- I/O ----
    int lastInputWith(int function) const
    {
        for (int pin = kInputPins - 1; pin >= 0; --pin) {
            if (whole(static_cast<uint16_t>(kFirstInputFunction + pin)) == function)
                return pin;
        }
        return -1;
    }
    bool inputActive(int function) const
    {
        const int pin = lastInputWith(function);
        return pin >= 0 && ((inputs >> pin) & 1);
    }
    bool servoOn() const { return inputActive(InSvonen); }
    bool emergencyStop() const
    {
        const int pin = lastInputWith(InEstop); // a normally closed contact: off means stop
        return pin >= 0 && !((inputs >> pin) & 1);
    }
    bool fault() const { return alarm != 0 || emergencyStop(); }
    bool energised() const
    {
        // Jog and programmed jog run the motor without the servo-on input, as test modes do.
        return !fault() && (servoOn() || jogMode || whole(kPatternMode) != 0);
    }

    void setInputs(uint16_t pins)
    {
        const bool resetBefore = inputActive(InAlarmReset);
        inputs = pins & 0x0FFF;
        if (!resetBefore && inputActive(InAlarmReset))
            alarm = 0;
    }

    bool outputActive(int function) const
    {
        const double zero = std::max(0.0, value(kZeroSpeedRange));
        switch (function) {
        case OutServoOn:
        case OutBrake: return energised();
        case OutZeroTorque: return std::abs(torque) < 1.0;
        case OutZeroSpeed: return std::abs(speed) <= zero;
        case OutInSpeed: return std::abs(speed - commandSpeed) <= std::max(0.0, value(kInSpeedRange));
        case OutReady:
        case OutAlarm: return !fault(); // active while the drive is healthy
        case OutCwRun: return speed > zero;
        case OutCcwRun: return speed < -zero;
        default: break;
        }
        if (function >= OutAlarmCode0 && function < OutAlarmCode0 + 4)
            return (alarm >> (function - OutAlarmCode0)) & 1;
        return false;
    }

    uint16_t outputs() const
    {
        if (forcedOutputs)
            return *forcedOutputs & 0x03FF;
        uint16_t out = 0;
        for (int pin = 0; pin < kOutputPins; ++pin) {
            if (outputActive(whole(static_cast<uint16_t>(kFirstOutputFunction + pin))))
                out = static_cast<uint16_t>(out | (1u << pin));
        }
        return out;
    }

    uint32_t ioWord() const { return (static_cast<uint32_t>(inputs) << 16) | outputs(); }

    uint32_t raw(uint16_t a) const { return a == kIoRegister ? ioWord() : regs[a]; }

    void setRaw(uint16_t a, uint32_t bits)
    {
        if (a == kIoRegister) {
            setInputs(static_cast<uint16_t>(bits >> 16));
            forcedOutputs = static_cast<uint16_t>(bits & 0x03FF);
            return;
        }
        regs[a] = bits;
        if (a == kInertiaRatio)
            inertiaEstimate = value(a);
        if (a == kPatternMode)
            startPattern();
    }

    // ---- alarms ----
    void raiseAlarm(int number)
    {
        alarm = number;
        history.push_front(number);
        while (history.size() > kHistoryLength)
            history.pop_back();
    }

    // ---- clock and motion ----
    qint64 realUs() const { return clock.nsecsElapsed() / 1000; }
    qint64 nowUs() const { return realUs() + clockOffsetUs; }

    void startPattern()
    {
        patternStep = 0;
        patternProgress = 0;
    }

    // Speed of the programmed jog pattern, stepping through it by dt.
    double patternSpeed(int mode, double dt)
    {
        auto stepSpeed = [this](int k) { return value(static_cast<uint16_t>(kFirstPatternStep + 2 * k)); };
        auto stepLength = [this](int k) { return value(static_cast<uint16_t>(kFirstPatternStep + 2 * k + 1)); };
        // Mode 2 counts revolutions, so a step at standstill could never end.
        auto usable = [&](int k) { return stepLength(k) > 0 && (mode == 1 || stepSpeed(k) != 0); };
        int tries = 0;
        while (!usable(patternStep) && tries++ < kPatternSteps) {
            patternStep = (patternStep + 1) % kPatternSteps;
            patternProgress = 0;
        }
        if (!usable(patternStep))
            return 0;
        const double v = stepSpeed(patternStep);
        patternProgress += mode == 1 ? dt : std::abs(v) / 60.0 * dt;
        if (patternProgress >= stepLength(patternStep)) {
            patternProgress = 0;
            patternStep = (patternStep + 1) % kPatternSteps;
        }
        return v;
    }

    double targetSpeed(double dt)
    {
        double target = 0;
        const int mode = whole(kPatternMode);
        if (mode == 1 || mode == 2)
            target = patternSpeed(mode, dt);
        else if (jogMode)
            target = jogDirection * value(kJogSpeed);
        if (fault())
            target = 0;
        return std::clamp(target, std::min(0.0, value(kCwSpeedLimit)), std::max(0.0, value(kCcwSpeedLimit)));
    }

    void step(double dt)
    {
        commandSpeed = targetSpeed(dt);
        const bool speedingUp = std::abs(commandSpeed) > std::abs(speed);
        const double rampMs = std::max(10.0, value(speedingUp ? kAccelTime : kDecelTime));
        const double tau = rampMs / 1000.0 / 3.0; // within about 5 % of the target after the ramp time
        const double before = speed;
        speed = commandSpeed + (speed - commandSpeed) * std::exp(-dt / tau);
        if (std::abs(speed - commandSpeed) < 0.05)
            speed = commandSpeed;
        const double acceleration = (speed - before) / dt; // rpm/s
        double t = (speed > 0 ? 3.0 : speed < 0 ? -3.0 : 0.0) + acceleration * 0.002;
        t = std::clamp(t, std::min(0.0, value(kCwTorqueLimit)), std::max(0.0, value(kCcwTorqueLimit)));
        torque = t;
        load += (std::abs(torque) - load) * (1.0 - std::exp(-dt / 1.0));
        if (torque == 0 && load < 0.05)
            load = 0;
        maxLoad = std::max(maxLoad, load);
        revolutions += speed / 60.0 * dt;
        if (whole(kAutoTuning) == 1 && std::abs(speed) > 1.0) {
            inertiaEstimate += (kLoadInertiaRatio - inertiaEstimate) * (1.0 - std::exp(-dt / 2.0));
            const double shown = std::round(inertiaEstimate * 10.0) / 10.0;
            if (shown != std::round(value(kInertiaRatio) * 10.0) / 10.0)
                set(kInertiaRatio, shown);
        }
    }

    void update()
    {
        const qint64 now = nowUs();
        double dt = std::min(kMaxCatchUpSeconds, static_cast<double>(now - lastUpdateUs) / 1e6);
        lastUpdateUs = now;
        while (dt > 1e-9) {
            const double h = std::min(dt, kModelStepSeconds);
            step(h);
            dt -= h;
        }
        writeStatus();
    }

    void model(uint16_t a, double v)
    {
        const Kind k = kindOf(a);
        const uint32_t bits = encode(k, k == Kind::Real ? std::round(v * 10.0) / 10.0 : v);
        if (bits != modelled[a]) {
            regs[a] = bits;
            modelled[a] = bits;
        }
    }

    void writeStatus()
    {
        const qint64 perRev = 4 * std::max(1, whole(kEncoderPulses));
        const double positionGain = std::max(1.0, value(kPositionGain) * 2.0 * std::numbers::pi);
        const qint64 feedback = static_cast<qint64>(std::floor(revolutions * static_cast<double>(perRev)));
        const qint64 error = std::min<qint64>(32767, std::llround(std::abs(speed) / 60.0 * static_cast<double>(perRev) / positionGain));
        const double turn = revolutions - std::floor(revolutions);
        model(11, commandSpeed);
        model(12, speed);
        model(13, value(kCcwSpeedLimit));
        model(14, value(kCwSpeedLimit));
        model(15, static_cast<double>(positiveMod(feedback + (speed < 0 ? -error : error), 32768)));
        model(16, static_cast<double>(positiveMod(feedback, 32768)));
        model(17, static_cast<double>(error));
        model(18, torque);
        model(19, load);
        model(20, maxLoad);
        model(21, value(kCcwTorqueLimit));
        model(22, value(kCwTorqueLimit));
        model(23, value(kInertiaRatio));
        model(24, static_cast<double>(positiveMod(static_cast<qint64>(std::floor(revolutions)), 32768)));
        model(25, static_cast<double>(static_cast<qint64>(turn * static_cast<double>(perRev)) % 65536));
    }

    // ---- traffic ----
    void record(TrafficEntry::Direction direction, const QByteArray &bytes, qint64 atUs)
    {
        if (log.size() >= kTrafficCap)
            log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(kTrafficCap / 2));
        log.push_back(TrafficEntry{direction, bytes, atUs});
    }

    void discard(int count)
    {
        discardRun.append(rx.left(count));
        rx.remove(0, count);
    }

    void flushDiscarded()
    {
        if (!discardRun.isEmpty()) {
            record(TrafficEntry::Discarded, discardRun, nowUs());
            discardRun.clear();
        }
    }

    // A complete frame with a good CRC further on means what lies before it is not a frame.
    bool resynchronise()
    {
        for (int at = 1; at + 1 < rx.size(); ++at) {
            const int length = declaredLength(rx, at);
            if (length > 0 && rx.size() - at >= length && crcGood(rx, at, length)) {
                discard(at);
                return true;
            }
        }
        return false;
    }

    // A frame whose function code the drive does not know still ends in a CRC.
    int unknownFrameLength() const
    {
        const int limit = std::min<int>(static_cast<int>(rx.size()), kMaxFrameLength);
        for (int length = 4; length <= limit; ++length) {
            if (crcGood(rx, 0, length))
                return length;
        }
        return 0;
    }

    std::vector<ReplyPiece> receive(const QByteArray &bytes)
    {
        std::vector<ReplyPiece> out;
        const qint64 now = realUs();
        if (!rx.isEmpty() && now - lastRxUs > kStaleFrameUs)
            discard(static_cast<int>(rx.size()));
        lastRxUs = now;
        rx.append(bytes);
        update();

        while (rx.size() >= 2) {
            const int length = declaredLength(rx, 0);
            if (length > 0) {
                if (rx.size() < length) {
                    if (resynchronise())
                        continue;
                    break;
                }
                if (crcGood(rx, 0, length)) {
                    take(length, out);
                    continue;
                }
                if (!resynchronise())
                    discard(length);
                continue;
            }
            if (length < 0) {
                if (resynchronise())
                    continue;
                break;
            }
            const int unknown = unknownFrameLength();
            if (unknown > 0) {
                take(unknown, out);
                continue;
            }
            if (rx.size() >= kMaxFrameLength) {
                discard(1);
                continue;
            }
            if (resynchronise())
                continue;
            break;
        }
        if (rx.size() > kMaxFrameLength)
            discard(static_cast<int>(rx.size()) - kMaxFrameLength);
        flushDiscarded();
        return out;
    }

    void take(int length, std::vector<ReplyPiece> &out)
    {
        const QByteArray frame = rx.left(length);
        rx.remove(0, length);
        flushDiscarded();
        const qint64 receivedUs = nowUs();
        record(TrafficEntry::Request, frame, receivedUs);
        if (static_cast<uint8_t>(frame[0]) != station() || silent)
            return;
        QByteArray reply;
        if (exceptionCount > 0) {
            --exceptionCount; // refused, so the request is not carried out
            reply = exceptionReply(static_cast<uint8_t>(frame[0]), static_cast<uint8_t>(frame[1]), exceptionCode);
        } else {
            reply = process(frame);
        }
        send(reply, length, receivedUs, out);
    }

    void send(QByteArray reply, int requestLength, qint64 receivedUs, std::vector<ReplyPiece> &out)
    {
        if (dropCount > 0) {
            --dropCount;
            return;
        }
        if (corruptCount > 0) {
            --corruptCount;
            reply[reply.size() - 1] = static_cast<char>(reply[reply.size() - 1] ^ 0xFF);
        }
        const QByteArray wire = stray + reply;
        stray.clear();

        const double byteUs = pacingBaud > 0 ? 10.0e6 / pacingBaud : 0.0;
        // The request itself took its time on the wire before the drive could answer.
        double delay = requestLength * byteUs + (replyDelayMs + nextDelayMs) * 1000.0;
        nextDelayMs = 0;
        const int piece = chunkSize > 0 ? chunkSize : static_cast<int>(wire.size());
        double total = 0;
        for (int at = 0; at < wire.size(); at += piece) {
            const QByteArray part = wire.mid(at, piece);
            if (at > 0 && pacingBaud == 0)
                delay += kChunkGapUs;
            delay += part.size() * byteUs;
            out.push_back(ReplyPiece{part, std::llround(delay)});
            total += delay;
            delay = 0;
        }
        record(TrafficEntry::Reply, wire, receivedUs + std::llround(total));
    }

    // ---- requests ----
    QByteArray process(const QByteArray &f)
    {
        const auto st = static_cast<uint8_t>(f[0]);
        const auto fc = static_cast<uint8_t>(f[1]);
        switch (fc) {
        case FcRead: return read(f);
        case FcWriteOne: return writeOne(f);
        case FcWriteSeveral: return writeSeveral(f);
        case FcJog: return jogCommand(f);
        case FcAlarmCommand: return alarmCommand(f);
        case FcAlarmRead: return alarmRead(f);
        default: return exceptionReply(st, fc, IllegalFunction);
        }
    }

    QByteArray read(const QByteArray &f)
    {
        const uint16_t start = word(f, 2);
        const uint16_t count = word(f, 4);
        if (count == 0 || count > kMaxReadCount)
            return exceptionReply(station(), FcRead, IllegalValue);
        for (int i = 0; i < count; ++i) {
            if (start + i > kLastRegister || kindOf(static_cast<uint16_t>(start + i)) == Kind::None)
                return exceptionReply(station(), FcRead, IllegalAddress);
        }
        QByteArray b;
        b.append(static_cast<char>(station()));
        b.append(static_cast<char>(FcRead));
        b.append(static_cast<char>(4 * count));
        for (int i = 0; i < count; ++i)
            putDword(b, raw(static_cast<uint16_t>(start + i)));
        return withCrc(b);
    }

    // The value a write carries, read as the register's kind; nullopt when it cannot be one.
    std::optional<uint32_t> acceptable(uint16_t address, uint32_t bits) const
    {
        const Kind k = kindOf(address);
        if (k == Kind::Whole && (bits >> 16) != 0)
            return std::nullopt; // a whole register carries its number in the low word
        if (!InRange(*registers().defs[address], static_cast<float>(decode(k, bits))))
            return std::nullopt;
        return bits;
    }

    void store(uint16_t address, uint32_t bits, bool single)
    {
        if (address == kInitialise) {
            // A command rather than a setting: it always reads 0. A block write carries it
            // only as data and must not wipe the values it has just written.
            if (single && decode(Kind::Whole, bits) == 1)
                restoreDefaults();
            return;
        }
        setRaw(address, bits);
    }

    QByteArray writeOne(const QByteArray &f)
    {
        const uint16_t address = word(f, 2);
        const uint32_t bits = dword(f, 4);
        if (address == kInputControl) {
            if (bits > 0x0FFF)
                return exceptionReply(station(), FcWriteOne, IllegalValue);
            setInputs(static_cast<uint16_t>(~bits & 0x0FFF)); // a set bit switches its input off
            return f;
        }
        if (!writable(address))
            return exceptionReply(station(), FcWriteOne, IllegalAddress);
        if (!acceptable(address, bits))
            return exceptionReply(station(), FcWriteOne, IllegalValue);
        store(address, bits, true);
        return f; // the echo carries the station the request was sent to
    }

    QByteArray writeSeveral(const QByteArray &f)
    {
        const uint16_t start = word(f, 2);
        const uint16_t count = word(f, 4);
        if (count == 0 || static_cast<uint8_t>(f[6]) != 4 * count)
            return exceptionReply(station(), FcWriteSeveral, IllegalValue);
        for (int i = 0; i < count; ++i) {
            if (start + i > 0xFFFF || !writable(static_cast<uint16_t>(start + i)))
                return exceptionReply(station(), FcWriteSeveral, IllegalAddress);
        }
        for (int i = 0; i < count; ++i) {
            if (!acceptable(static_cast<uint16_t>(start + i), dword(f, 7 + 4 * i)))
                return exceptionReply(station(), FcWriteSeveral, IllegalValue);
        }
        const uint8_t answeringStation = station();
        for (int i = 0; i < count; ++i)
            store(static_cast<uint16_t>(start + i), dword(f, 7 + 4 * i), false);
        QByteArray b;
        b.append(static_cast<char>(answeringStation));
        b.append(static_cast<char>(FcWriteSeveral));
        putWord(b, start);
        putWord(b, count);
        return withCrc(b);
    }

    QByteArray jogCommand(const QByteArray &f)
    {
        const uint16_t address = word(f, 2);
        const int command = address - kFirstJogCommand; // 0 on, 1 off, 2 cw, 3 ccw, 4 stop
        if (command < 0 || command > 4)
            return exceptionReply(station(), FcJog, IllegalAddress);
        if (dword(f, 4) != static_cast<uint32_t>(command + 1))
            return exceptionReply(station(), FcJog, IllegalValue);
        switch (command) {
        case 0: jogMode = true; break;
        case 1: jogMode = false; jogDirection = 0; break;
        case 2:
        case 3:
            if (!jogMode)
                return exceptionReply(station(), FcJog, DeviceFailure);
            jogDirection = command == 2 ? 1 : -1;
            break;
        default: jogDirection = 0; break;
        }
        return f;
    }

    QByteArray alarmCommand(const QByteArray &f)
    {
        const uint16_t address = word(f, 2);
        if (address != kAlarmReset && address != kHistoryClear)
            return exceptionReply(station(), FcAlarmCommand, IllegalAddress);
        if (dword(f, 4) != (address == kAlarmReset ? 2u : 4u))
            return exceptionReply(station(), FcAlarmCommand, IllegalValue);
        if (address == kAlarmReset)
            alarm = 0;
        else
            history.clear();
        return f;
    }

    QByteArray alarmRead(const QByteArray &f)
    {
        const uint16_t address = word(f, 2);
        if (address != kPresentAlarmRead && address != kHistoryRead)
            return exceptionReply(station(), FcAlarmRead, IllegalAddress);
        if (dword(f, 4) != (address == kPresentAlarmRead ? 1u : 3u))
            return exceptionReply(station(), FcAlarmRead, IllegalValue);
        QByteArray b;
        b.append(static_cast<char>(station()));
        b.append(static_cast<char>(FcAlarmRead));
        if (address == kPresentAlarmRead) {
            b.append(char(4));
            putDword(b, static_cast<uint32_t>(alarm)); // a whole number: high word 0
        } else {
            b.append(char(4 * kHistoryLength));
            for (int i = 0; i < kHistoryLength; ++i)
                putDword(b, i < static_cast<int>(history.size()) ? static_cast<uint32_t>(history[i]) : 0u);
        }
        return withCrc(b);
    }
};

SimDrive::SimDrive(uint8_t station) : d_(std::make_unique<Impl>(station)) {}

SimDrive::~SimDrive() = default;

uint8_t SimDrive::station() const
{
    std::lock_guard lock(mutex_);
    return d_->station();
}

std::vector<ReplyPiece> SimDrive::receive(const QByteArray &bytes)
{
    std::lock_guard lock(mutex_);
    return d_->receive(bytes);
}

bool SimDrive::hasRegister(uint16_t address) const
{
    return kindOf(address) != Kind::None;
}

double SimDrive::registerValue(uint16_t address) const
{
    std::lock_guard lock(mutex_);
    const Kind k = kindOf(address);
    return k == Kind::None ? std::numeric_limits<double>::quiet_NaN() : decode(k, d_->raw(address));
}

bool SimDrive::setRegister(uint16_t address, double value)
{
    const Kind k = kindOf(address);
    if (k == Kind::None || !std::isfinite(value))
        return false;
    std::lock_guard lock(mutex_);
    d_->setRaw(address, encode(k, value));
    return true;
}

uint32_t SimDrive::rawRegister(uint16_t address) const
{
    std::lock_guard lock(mutex_);
    return kindOf(address) == Kind::None ? 0 : d_->raw(address);
}

bool SimDrive::setRawRegister(uint16_t address, uint32_t raw)
{
    if (kindOf(address) == Kind::None)
        return false;
    std::lock_guard lock(mutex_);
    d_->setRaw(address, raw);
    return true;
}

bool SimDrive::setServoOn(bool on)
{
    std::lock_guard lock(mutex_);
    const int pin = d_->lastInputWith(InSvonen);
    if (pin < 0)
        return false;
    const auto bit = static_cast<uint16_t>(1u << pin);
    d_->setInputs(static_cast<uint16_t>(on ? d_->inputs | bit : d_->inputs & ~bit));
    return true;
}

bool SimDrive::servoOn() const
{
    std::lock_guard lock(mutex_);
    return d_->servoOn();
}

void SimDrive::setInputs(uint16_t pins)
{
    std::lock_guard lock(mutex_);
    d_->setInputs(pins);
}

uint16_t SimDrive::inputs() const
{
    std::lock_guard lock(mutex_);
    return d_->inputs;
}

void SimDrive::setOutputs(std::optional<uint16_t> forced)
{
    std::lock_guard lock(mutex_);
    d_->forcedOutputs = forced;
}

uint16_t SimDrive::outputs() const
{
    std::lock_guard lock(mutex_);
    return d_->outputs();
}

bool SimDrive::jogMode() const
{
    std::lock_guard lock(mutex_);
    return d_->jogMode;
}

int SimDrive::jogDirection() const
{
    std::lock_guard lock(mutex_);
    return d_->jogDirection;
}

int SimDrive::programmedJogMode() const
{
    std::lock_guard lock(mutex_);
    return d_->whole(kPatternMode);
}

void SimDrive::advance(int ms)
{
    std::lock_guard lock(mutex_);
    d_->clockOffsetUs += std::max(0, ms) * qint64(1000);
    d_->update();
}

bool SimDrive::raiseAlarm(int number)
{
    if (number < 1 || number >= static_cast<int>(AlarmNames.size()))
        return false;
    std::lock_guard lock(mutex_);
    d_->raiseAlarm(number);
    return true;
}

int SimDrive::presentAlarm() const
{
    std::lock_guard lock(mutex_);
    return d_->alarm;
}

QList<int> SimDrive::alarmHistory() const
{
    std::lock_guard lock(mutex_);
    return QList<int>(d_->history.begin(), d_->history.end());
}

void SimDrive::dropNextReplies(int n)
{
    std::lock_guard lock(mutex_);
    d_->dropCount = std::max(0, n);
}

void SimDrive::setReplyDelayMs(int ms)
{
    std::lock_guard lock(mutex_);
    d_->replyDelayMs = std::max(0, ms);
}

void SimDrive::delayNextReply(int ms)
{
    std::lock_guard lock(mutex_);
    d_->nextDelayMs = std::max(0, ms);
}

void SimDrive::corruptNextCrc(int n)
{
    std::lock_guard lock(mutex_);
    d_->corruptCount = std::max(0, n);
}

void SimDrive::setChunkSize(int bytes)
{
    std::lock_guard lock(mutex_);
    d_->chunkSize = std::max(0, bytes);
}

void SimDrive::injectStrayBytes(const QByteArray &bytes)
{
    std::lock_guard lock(mutex_);
    d_->stray += bytes;
}

void SimDrive::setSilent(bool silent)
{
    std::lock_guard lock(mutex_);
    d_->silent = silent;
}

void SimDrive::exceptionNextReplies(int n, uint8_t code)
{
    std::lock_guard lock(mutex_);
    d_->exceptionCount = std::max(0, n);
    d_->exceptionCode = code;
}

void SimDrive::setPacingBaud(int baud)
{
    std::lock_guard lock(mutex_);
    d_->pacingBaud = std::max(0, baud);
}

std::vector<TrafficEntry> SimDrive::traffic() const
{
    std::lock_guard lock(mutex_);
    return d_->log;
}

QList<QByteArray> SimDrive::requests() const
{
    std::lock_guard lock(mutex_);
    QList<QByteArray> out;
    for (const TrafficEntry &e : d_->log) {
        if (e.direction == TrafficEntry::Request)
            out << e.bytes;
    }
    return out;
}

QList<QByteArray> SimDrive::replies() const
{
    std::lock_guard lock(mutex_);
    QList<QByteArray> out;
    for (const TrafficEntry &e : d_->log) {
        if (e.direction == TrafficEntry::Reply)
            out << e.bytes;
    }
    return out;
}

void SimDrive::clearTraffic()
{
    std::lock_guard lock(mutex_);
    d_->log.clear();
}

} // namespace velmora
