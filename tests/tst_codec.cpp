// Frame building, CRC and the value conversions, against known frames and values.
#include <QLocale>
#include <QTest>

#include <cmath>
#include <cstring>

#include "link/FrameCodec.h"
#include "params/ValueCodec.h"

using namespace velmora;

namespace {

QByteArray bytes(const uint8_t *data, int length)
{
    return QByteArray(reinterpret_cast<const char *>(data), length);
}

TParamDef realDef(float lo, float hi) { return TParamDef{100, 1, 0, lo, hi, -1}; }
TParamDef wholeDef(float lo, float hi) { return TParamDef{100, 0, 0, lo, hi, 0}; }

} // namespace

class TestCodec : public QObject {
    Q_OBJECT
private slots:
    void crcCheckValue()
    {
        const char *digits = "123456789";
        QCOMPARE(Make_CRCvalue(reinterpret_cast<const uint8_t *>(digits), 9), uint16_t(0x4B37));
        // The length never reaches past the 200-byte request buffer.
        std::array<uint8_t, 300> big{};
        QCOMPARE(Make_CRCvalue(big.data(), 300), Make_CRCvalue(big.data(), 200));
    }

    void knownFrames()
    {
        RequestState req;
        req.stationNumber = 1;
        req.startRegister = 100;
        req.readCount = 20;
        QCOMPARE(MAKE_REQUEST_ARRAY(req, FrameRead), 8);
        QCOMPARE(bytes(req.requestBuffer.data(), 8), QByteArray::fromHex("010300640014041A"));

        WriteWord w;
        QVERIFY(Change_Float2HEX(QStringLiteral("1.5"), realDef(0, 10), w));
        req.writeWords[1] = w;
        QCOMPARE(MAKE_REQUEST_ARRAY(req, FrameWriteOne), 10);
        QCOMPARE(bytes(req.requestBuffer.data(), 10), QByteArray::fromHex("010600643FC000009A27"));

        const CommandFrame jogOn = BuildCommandFrame(Command::JogOn, 1);
        QCOMPARE(bytes(jogOn.data(), 10), QByteArray::fromHex("01460898000000014757"));

        req.inputControlWord = 5;
        QCOMPARE(MAKE_REQUEST_ARRAY(req, FrameInputControl), 10);
        QCOMPARE(bytes(req.requestBuffer.data(), 10), QByteArray::fromHex("010607D000000005E7A1"));
    }

    void writeSeveralFrames()
    {
        RequestState req;
        req.stationNumber = 1;
        req.startRegister = 200;
        for (int n : {20, 33}) {
            req.writeCount = static_cast<uint16_t>(n);
            for (int k = 1; k <= n; ++k)
                req.writeWords[k] = WriteWord{uint16_t(k), uint16_t(0x1000 + k)};
            const int len = MAKE_REQUEST_ARRAY(req, FrameWriteSeveral);
            QCOMPARE(len, 9 + 4 * n);
            QCOMPARE(int(req.requestBuffer[6]), 4 * n);
            QCOMPARE(int((req.requestBuffer[4] << 8) | req.requestBuffer[5]), n);
            // Entry k sits at 7 + 4(k-1), high word first.
            QCOMPARE(int(req.requestBuffer[7 + 4 * (n - 1) + 1]), n);
            QCOMPARE(int(req.requestBuffer[7 + 4 * (n - 1) + 3]), n);
            QVERIFY(CrcMatches(req.requestBuffer.data(), len));
        }
        // More than the buffer holds is clamped, never written past its end.
        req.writeCount = 100;
        QCOMPARE(MAKE_REQUEST_ARRAY(req, FrameWriteSeveral), 9 + 4 * 47);
    }

    void commandFramesFollowTheStation()
    {
        const CommandFrame a = BuildCommandFrame(Command::AlarmReset, 1);
        const CommandFrame b = BuildCommandFrame(Command::AlarmReset, 7);
        QCOMPARE(b[0], uint8_t(7));
        QVERIFY(std::memcmp(a.data() + 1, b.data() + 1, 7) == 0);
        QVERIFY(a[8] != b[8] || a[9] != b[9]);
        for (int c = 0; c < kCommandCount; ++c)
            QVERIFY(CrcMatches(BuildCommandFrame(Command(c), 3).data(), 10));
        QCOMPARE(CommandBytes[int(Command::PresentAlarmRead)][0], uint8_t(80));
        QCOMPARE(CommandBytes[int(Command::ProgrammedJogOff)][6], uint8_t(0));
    }

    void realConversion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("lo");
        QTest::addColumn<float>("hi");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<uint>("pattern");
        QTest::newRow("1.5") << "1.5" << 0.f << 10.f << true << 0x3FC00000u;
        QTest::newRow("min bound") << "0.1" << 0.1f << 999.99f << true << 0x3DCCCCCDu;
        QTest::newRow("max bound") << "999.99" << 0.1f << 999.99f << true << 0x4479FF5Cu;
        QTest::newRow("below min") << "0.09" << 0.1f << 999.99f << false << 0u;
        QTest::newRow("above max") << "1000" << 0.1f << 999.99f << false << 0u;
        QTest::newRow("9999.9") << "9999.9" << 0.f << 9999.9f << true << 0x461C3F9Au;
        QTest::newRow("10000") << "10000" << 0.f << 9999.9f << false << 0u;
        QTest::newRow("negative") << "-9999.9" << -9999.9f << 9999.9f << true << 0xC61C3F9Au;
        QTest::newRow("spaces") << " 2 " << 0.f << 10.f << true << 0x40000000u;
        QTest::newRow("empty") << "" << 0.f << 10.f << false << 0u;
        QTest::newRow("letters") << "abc" << 0.f << 10.f << false << 0u;
        QTest::newRow("nan") << "nan" << -1e30f << 1e30f << false << 0u;
        QTest::newRow("inf") << "inf" << -1e30f << 1e30f << false << 0u;
        QTest::newRow("huge") << "1e300" << -1e30f << 3.4e38f << false << 0u;
        QTest::newRow("150.5") << "150.5" << 0.f << 300.f << true << 0x43168000u;
        // A single whose high word is zero reads back as a whole number (1e-42 as 714), so
        // such tiny values go out as 0; tiny values with a high word go out as they are.
        QTest::newRow("1e-42") << "1e-42" << 0.f << 10.f << true << 0x00000000u;
        QTest::newRow("0.0000...1") << "0.000000000000000000000000000000000000000000001" << 0.f << 10.f << true
                                    << 0x00000000u;
        QTest::newRow("-1e-42") << "-1e-42" << -10.f << 10.f << true << 0x800002CAu;
        QTest::newRow("1e-39") << "1e-39" << 0.f << 10.f << true << 0x000AE398u;
    }
    void realConversion()
    {
        QFETCH(QString, text);
        QFETCH(float, lo);
        QFETCH(float, hi);
        QFETCH(bool, ok);
        QFETCH(uint, pattern);
        WriteWord w{0xAAAA, 0x5555};
        QCOMPARE(Change_Float2HEX(text, realDef(lo, hi), w), ok);
        if (ok) {
            QCOMPARE(uint(w.high) << 16 | w.low, pattern);
        } else {
            QCOMPARE(w.high, uint16_t(0xAAAA)); // untouched on refusal
            QCOMPARE(w.low, uint16_t(0x5555));
        }
    }

    void localeSeparator()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        WriteWord w;
        QVERIFY(Change_Float2HEX(QStringLiteral("1,5"), realDef(0, 10), w));
        QCOMPARE(w.high, uint16_t(0x3FC0));
        QVERIFY(Change_Float2HEX(QStringLiteral("2.5"), realDef(0, 10), w));
        QCOMPARE(w.high, uint16_t(0x4020));
        // A point is never taken as a group separator: "1.500" is one and a half.
        QVERIFY(Change_Float2HEX(QStringLiteral("1.500"), realDef(0, 10), w));
        QCOMPARE(w.high, uint16_t(0x3FC0));
        QLocale::setDefault(saved);
    }

    void wholeConversion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<float>("lo");
        QTest::addColumn<float>("hi");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<uint>("low");
        QTest::newRow("7") << "7" << 0.f << 10.f << true << 7u;
        QTest::newRow("-1") << "-1" << -10.f << 10.f << true << 0xFFFFu;
        QTest::newRow("2.5") << "2.5" << -10.f << 10.f << false << 0u;
        QTest::newRow("12.5 d-1") << "12.5" << 0.f << 500.f << false << 0u;
        QTest::newRow("empty") << "" << 0.f << 10.f << false << 0u;
        QTest::newRow("letters") << "x1" << 0.f << 10.f << false << 0u;
        QTest::newRow("bound") << "99" << 0.f << 99.f << true << 99u;
        QTest::newRow("over") << "100" << 0.f << 99.f << false << 0u;
        QTest::newRow("65535") << "65535" << 0.f << 131072.f << true << 0xFFFFu;
        // Inside the range but beyond the 16 bits a whole register carries: refused, not truncated.
        QTest::newRow("65536") << "65536" << 0.f << 131072.f << false << 0u;
        QTest::newRow("99999") << "99999" << 1.f << 99999.f << false << 0u;
        QTest::newRow("beyond int") << "99999999999" << 0.f << 3e10f << false << 0u;
    }
    void wholeConversion()
    {
        QFETCH(QString, text);
        QFETCH(float, lo);
        QFETCH(float, hi);
        QFETCH(bool, ok);
        QFETCH(uint, low);
        WriteWord w{0x1234, 0x5678};
        QCOMPARE(Change_Int2HEX(text, wholeDef(lo, hi), w), ok);
        if (ok) {
            QCOMPARE(w.high, uint16_t(0));
            QCOMPARE(uint(w.low), low);
        } else {
            QCOMPARE(w.high, uint16_t(0x1234));
        }
    }

    void registerDecoding_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<float>("value");
        QTest::addColumn<bool>("negativeZero");
        QTest::newRow("whole 300") << QByteArray::fromHex("0000012C") << 300.f << false;
        QTest::newRow("10.0") << QByteArray::fromHex("41200000") << 10.f << false;
        QTest::newRow("-2.5") << QByteArray::fromHex("C0200000") << -2.5f << false;
        QTest::newRow("FFFFFFFF") << QByteArray::fromHex("FFFFFFFF") << 0.f << false;
        QTest::newRow("7F800000") << QByteArray::fromHex("7F800000") << 0.f << false;
        QTest::newRow("zero") << QByteArray::fromHex("00000000") << 0.f << false;
        QTest::newRow("-0.0") << QByteArray::fromHex("80000000") << -0.f << true;
        QTest::newRow("whole 65535") << QByteArray::fromHex("0000FFFF") << 65535.f << false;
    }
    void registerDecoding()
    {
        QFETCH(QByteArray, raw);
        QFETCH(float, value);
        QFETCH(bool, negativeZero);
        const auto *b = reinterpret_cast<const uint8_t *>(raw.constData());
        const float v = DecodeRegisterValue(b[0], b[1], b[2], b[3]);
        QCOMPARE(v, value);
        if (v == 0.0f)
            QCOMPARE(std::signbit(v), negativeZero);
    }
};

QTEST_APPLESS_MAIN(TestCodec)
#include "tst_codec.moc"
