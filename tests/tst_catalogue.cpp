// The catalogue tables against each other, the display rounding and the range test.

#include <QtTest>

#include <cstring>
#include <set>

#include "params/Catalogue.h"
#include "params/DisplayRules.h"

using namespace velmora;

namespace {

bool sameRecord(const TParamDef &a, const TParamDef &b)
{
    return a.Address == b.Address && a.IsReal == b.IsReal && a.Reserved == b.Reserved
           && a.MinValue == b.MinValue && a.MaxValue == b.MaxValue && a.Decimals == b.Decimals;
}

// The range test as a user's typed text meets it: parsed, rounded to single, compared.
bool typedPasses(const TParamDef &def, const char *text)
{
    bool ok = false;
    const double value = QString::fromLatin1(text).toDouble(&ok);
    return ok && InRange(def, static_cast<float>(value));
}

void checkConsecutive(std::span<const TParamDef> block, uint16_t first, size_t count)
{
    QCOMPARE(block.size(), count);
    for (size_t i = 0; i < block.size(); ++i) {
        QCOMPARE(block[i].Address, static_cast<uint16_t>(first + i));
        QCOMPARE(block[i].Reserved, uint8_t(0));
        QVERIFY(block[i].IsReal <= 1);
        QVERIFY(block[i].MinValue <= block[i].MaxValue);
        QVERIFY(block[i].Decimals <= 0 && block[i].Decimals >= -3);
    }
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT

private slots:
    void blocksAreConsecutiveWithTheirCounts()
    {
        checkConsecutive(StDefs, 10, 18);
        checkConsecutive(JogDefs, 1001, 1);
        checkConsecutive(AutoJogDefs, 1002, 17);
        const size_t counts[9] = {20, 33, 24, 14, 22, 9, 12, 10, 8};
        size_t total = 0;
        for (const ParamGroup &g : ParamGroups) {
            checkConsecutive(g.defs, static_cast<uint16_t>(g.number * 100), counts[g.number - 1]);
            total += g.defs.size();
        }
        QCOMPARE(total, size_t(152));
        QCOMPARE(StatusItemNames.size(), StDefs.size());
    }

    void pageRowsMatchTheirRecords()
    {
        std::set<std::string> seen;
        for (const ParamGroup &g : ParamGroups) {
            QCOMPARE(g.rows.size(), g.defs.size());
            for (size_t i = 0; i < g.rows.size(); ++i) {
                const ParamRow &row = g.rows[i];
                const QString expectedId = QStringLiteral("P%1-%2").arg(g.number).arg(i + 1, 2, 10, QLatin1Char('0'));
                QCOMPARE(QLatin1String(row.id), expectedId);
                QVERIFY(seen.insert(row.id).second);
                QVERIFY(std::strlen(row.name) > 0);
                QCOMPARE(ParamIdForAddress(g.defs[i].Address), expectedId);
                QCOMPARE(FindParamRow(g.defs[i].Address), &row);
                QCOMPARE(FindParamDef(g.defs[i].Address), &g.defs[i]);
                if (row.entry == EntryKind::List)
                    QVERIFY2(!row.items.empty(), row.id);
                else
                    QVERIFY2(row.items.empty(), row.id);
                // A list whose position is the written value needs an item for every
                // value the record admits; the range test refuses the rest.
                if (row.source == ValueSource::ListPosition)
                    QVERIFY2(static_cast<float>(row.items.size() - 1) >= g.defs[i].MaxValue, row.id);
            }
        }
        QCOMPARE(ParamIdForAddress(14), QStringLiteral("St-05"));
        QCOMPARE(ParamIdForAddress(1001), QStringLiteral("JOG-02"));
        QCOMPARE(ParamIdForAddress(1018), QStringLiteral("JOG-19"));
        QVERIFY(ParamIdForAddress(28).isEmpty());
        QVERIFY(ParamIdForAddress(120).isEmpty());
        QVERIFY(FindParamDef(2000) == nullptr);
        QVERIFY(FindParamRow(10) == nullptr);
    }

    void selectionsRepeatTheirSourceRecords()
    {
        const uint16_t manual[] = {304, 305, 309, 310, 504, 217};
        QCOMPARE(ManualTuneDefs.size(), std::size(manual));
        for (size_t i = 0; i < ManualTuneDefs.size(); ++i) {
            QCOMPARE(ManualTuneDefs[i].Address, manual[i]);
            QVERIFY(sameRecord(ManualTuneDefs[i], *FindParamDef(manual[i])));
        }
        const uint16_t autoTune[] = {1003, 1004, 1005, 1006, 1007, 1008, 216, 217, 218, 301};
        QCOMPARE(AutoTuneDefs.size(), std::size(autoTune));
        for (size_t i = 0; i < AutoTuneDefs.size(); ++i) {
            QCOMPARE(AutoTuneDefs[i].Address, autoTune[i]);
            QVERIFY(sameRecord(AutoTuneDefs[i], *FindParamDef(autoTune[i])));
        }
    }

    void namesAndCodes()
    {
        QCOMPARE(QLatin1String(InputFunctionNames[16]), QLatin1String("ESTOP"));
        QCOMPARE(QLatin1String(OutputFunctionNames[18]), QLatin1String("A_CODE3"));
        for (int n = 21; n <= 24; ++n) {
            QCOMPARE(QLatin1String(InputFunctionNames[n]), QLatin1String("None"));
            QCOMPARE(QLatin1String(OutputFunctionNames[n]), QLatin1String("None"));
        }
        QCOMPARE(QLatin1String(InputFunctionNames[30]), QLatin1String("SETUP6"));
        QCOMPARE(QLatin1String(AlarmNames[15]), QLatin1String("EMER STOP"));
        // Only the first pin of each side admits the SETUP functions.
        QCOMPARE(P7Defs[0].MaxValue, 30.0f);
        QCOMPARE(P8Defs[0].MaxValue, 30.0f);
        for (size_t i = 1; i < P7Defs.size(); ++i)
            QVERIFY(!InRange(P7Defs[i], 21.0f) && InRange(P7Defs[i], 20.0f));
        for (size_t i = 1; i < P8Defs.size(); ++i)
            QVERIFY(!InRange(P8Defs[i], 25.0f));
        for (size_t i = 0; i < AlarmDisplayCodes.size(); ++i)
            QCOMPARE(int(AlarmDisplayCodes[i]), int((i / 10) * 16 + i % 10));
    }

    void motorListHasTheUnknownCodesEmpty()
    {
        const std::set<int> empty{0, 1, 2, 3, 4, 7, 10, 16, 17, 18, 19, 26, 27, 28, 29,
                                  36, 37, 38, 39, 46, 47, 90, 91, 92, 93, 94, 95, 96, 97};
        std::set<std::string> names;
        for (int code = 0; code < 100; ++code) {
            const std::string text = MotorList[code];
            if (empty.count(code)) {
                QVERIFY2(text.empty(), qPrintable(QString::number(code)));
                continue;
            }
            QVERIFY2(text.size() == 4 || text.size() == 5, text.c_str());
            for (char c : text)
                QVERIFY2((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'), text.c_str());
            QVERIFY2(names.insert(text).second, text.c_str());
        }
        QCOMPARE(names.size(), 100 - empty.size());
    }

    void formatParamValue_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 5.0 << 0 << "5";
        QTest::newRow("trailing zero dropped") << 12.30 << -2 << "12.3";
        QTest::newRow("negative half to even") << -0.25 << -1 << "-0.2";
        QTest::newRow("exact half down") << 0.25 << -1 << "0.2";
        QTest::newRow("exact half up") << 0.75 << -1 << "0.8";
        QTest::newRow("whole half to even") << 2.5 << 0 << "2";
        QTest::newRow("whole half up") << 3.5 << 0 << "4";
        QTest::newRow("single below 0.35") << double(0.35f) << -1 << "0.3";
        QTest::newRow("version single") << double(1.04f) << -2 << "1.04";
        QTest::newRow("bound as single") << double(9999.9f) << -1 << "9999.9";
        QTest::newRow("thousandths") << double(0.001f) << -3 << "0.001";
        QTest::newRow("negative zero") << -0.04 << -1 << "0";
        QTest::newRow("large has no exponent") << 1.0e20 << 0 << "100000000000000000000";
        QTest::newRow("whole register") << 65535.0 << 0 << "65535";
        QTest::newRow("whole shown in tenths") << 12.0 << -1 << "12";
        QTest::newRow("not a number") << std::nan("") << -1 << "NAN";
    }

    void formatParamValue()
    {
        QFETCH(double, value);
        QFETCH(int, decimals);
        QFETCH(QString, text);
        QCOMPARE(FormatParamValue(value, decimals), text);
    }

    void formatIgnoresTheLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German));
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
        const QString text = FormatParamValue(12.5, -1);
        std::setlocale(LC_NUMERIC, "C");
        QLocale::setDefault(saved);
        QCOMPARE(text, QStringLiteral("12.5"));
    }

    void rangeTestAtDecimalBounds()
    {
        const TParamDef &p1_02 = P1Defs[1], &p1_03 = P1Defs[2], &p1_04 = P1Defs[3];
        const TParamDef &p1_05 = P1Defs[4], &p1_06 = P1Defs[5];
        QVERIFY(typedPasses(p1_03, "0.1"));
        QVERIFY(!typedPasses(p1_03, "0.09"));
        QVERIFY(typedPasses(p1_04, "0.001") && typedPasses(p1_05, "0.001"));
        QVERIFY(!typedPasses(p1_04, "0.0009") && !typedPasses(p1_05, "0.0009"));
        for (const TParamDef *def : {&p1_02, &p1_03, &p1_06}) {
            QVERIFY(typedPasses(*def, "999.99"));
            QVERIFY(!typedPasses(*def, "1000"));
        }
        QVERIFY(typedPasses(p1_02, "0.01"));
        QVERIFY(typedPasses(P2Defs[6], "9999.9"));
        QVERIFY(!typedPasses(P2Defs[6], "10000"));
        QVERIFY(typedPasses(P4Defs[0], "-9999.9"));
        QVERIFY(!typedPasses(P4Defs[0], "-10000"));
        QVERIFY(!InRange(P4Defs[0], std::nanf("")));
        QCOMPARE(P2Defs[6].MaxValue, 9999.900390625f);
    }

    void wholeRecordsWithNegativeMinimumShowSigned()
    {
        // St-06 is a signed pulse count carried in 16 bits.
        QCOMPARE(FormatRecordValue(StDefs[5], 65535.0), QStringLiteral("-1"));
        QCOMPARE(FormatRecordValue(StDefs[5], 32767.0), QStringLiteral("32767"));
        QCOMPARE(FormatRecordValue(StDefs[5], 32768.0), QStringLiteral("-32768"));
        // A whole record that cannot be negative keeps the plain value.
        QCOMPARE(FormatRecordValue(StDefs[16], 65535.0), QStringLiteral("65535"));
        // A real record is never reinterpreted.
        QCOMPARE(FormatRecordValue(StDefs[1], 65535.0), QStringLiteral("65535"));
        // St-18, whole by its record, arrives as a single and shows its hundredths.
        QCOMPARE(FormatRecordValue(StDefs[17], double(1.04f)), QStringLiteral("1.04"));
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
