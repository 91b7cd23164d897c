// The parameter file: the 161 lines, byte for byte, and reading a file of any shape.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "params/Catalogue.h"
#include "params/ParamFile.h"
#include "FileSizeLimit.h"

using namespace velmora;

namespace {

std::array<QStringList, 9> sampleTexts(const QString &motor)
{
    std::array<QStringList, 9> texts;
    for (int g = 1; g <= 9; ++g)
        for (size_t i = 0; i < ParamGroups[size_t(g - 1)].defs.size(); ++i)
            texts[size_t(g - 1)] << QString::number(g * 100 + int(i));
    texts[0] = QStringList{motor, "2.85", "3.52", "0.002", "1.5", "2.35", "3000", "5000", "9.74", "8",
                           "10", "1", "2500", "2500", "5", "0", "0", "1", "0", "0"};
    texts[8] = QStringList{"0", "0", "100.5", "0", "1", "0", "100", "0"};
    return texts;
}

} // namespace

class TestParamFile : public QObject {
    Q_OBJECT
private slots:
    void linesOfADriveWithAKnownMotor()
    {
        auto texts = sampleTexts(QStringLiteral("5"));
        ApplyMotorDefaults(texts[0]);
        const QStringList lines = BuildParamFileLines(texts);
        QCOMPARE(lines.size(), kParamFileLines);
        const QStringList p1 = lines.mid(0, 22);
        QCOMPARE(p1.join(QLatin1Char('|')),
                 QStringLiteral("[P1--]|5|default|default|default|default|default|default|default|default|8|10|1|"
                                "2500|2500|5|0|0|1|0|0|[P2--]"));
        QCOMPARE(lines.mid(152).join(QLatin1Char('|')), QStringLiteral("[P9--]|0|0|100.5|0|1|0|100|0"));
        // Markers at the block starts.
        int at = 0;
        for (int g = 1; g <= 9; ++g) {
            QCOMPARE(lines[at], ParamFileMarker(g));
            at += 1 + int(ParamGroups[size_t(g - 1)].defs.size());
        }
    }

    void motorCodeZeroKeepsTheMotorData()
    {
        auto texts = sampleTexts(QStringLiteral("0"));
        ApplyMotorDefaults(texts[0]);
        QCOMPARE(texts[0][3], QStringLiteral("0.002"));
        QVERIFY(!BuildParamFileLines(texts).contains(QLatin1String(kMotorDefault)));
    }

    void savedBytesAndReadBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("drive.vpf"));
        auto texts = sampleTexts(QStringLiteral("5"));
        ApplyMotorDefaults(texts[0]);
        const QStringList lines = BuildParamFileLines(texts);
        QString error;
        QVERIFY(SaveParamFile(path, lines, &error));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("[P1--]\r\n5\r\ndefault\r\n"));
        QVERIFY(bytes.endsWith("100\r\n0\r\n"));
        QCOMPARE(bytes.count("\r\n"), qsizetype(kParamFileLines));
        QCOMPARE(bytes.count('\n'), qsizetype(kParamFileLines));
        QCOMPARE(ReadParamFileLines(path).value(), lines);

        // Saving again replaces the file whole.
        texts[8][2] = QStringLiteral("7");
        QVERIFY(SaveParamFile(path, BuildParamFileLines(texts), &error));
        QCOMPARE(ReadParamFileLines(path).value().at(155), QStringLiteral("7"));
    }

    void failedSaveSaysWhy()
    {
        QString error;
        QVERIFY(!SaveParamFile(QStringLiteral("/nonexistent-folder/drive.vpf"), {QStringLiteral("x")}, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!ReadParamFileLines(QStringLiteral("/nonexistent-folder/drive.vpf")).has_value());

        // A write that fails half way (here: the file size limit, as a full disk would)
        // leaves the file it was to replace as it was, and no stray file beside it.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("drive.vpf"));
        const QStringList old = BuildParamFileLines(sampleTexts(QStringLiteral("0")));
        QVERIFY(SaveParamFile(path, old));
        {
            const FileSizeLimit limit(64);
            QVERIFY(!SaveParamFile(path, BuildParamFileLines(sampleTexts(QStringLiteral("7"))), &error));
        }
        QVERIFY(!error.isEmpty());
        QCOMPARE(ReadParamFileLines(path).value(), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"drive.vpf"});
    }

    void readingIsBounded()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("huge.vpf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100000, 'x') + "\r\n");
        f.write(QByteArray("caf\xc3\xa9\x01\r\n"));
        for (int i = 0; i < 5000; ++i)
            f.write("1\n");
        f.close();
        const QStringList lines = ReadParamFileLines(path).value();
        QCOMPARE(lines.size(), kParamFileLines);
        QVERIFY(lines[0].size() <= 256 && lines[0].startsWith(QLatin1String("xxx")));
        QCOMPARE(lines[1], QStringLiteral("caf") + QChar(QChar::ReplacementCharacter) + QChar(QChar::ReplacementCharacter)
                               + QChar(QChar::ReplacementCharacter));
        QCOMPARE(lines[2], QStringLiteral("1"));

        const QString shortPath = dir.filePath(QStringLiteral("short.vpf"));
        QFile s(shortPath);
        QVERIFY(s.open(QIODevice::WriteOnly));
        s.write("[P1--]\r\n5");
        s.close();
        QCOMPARE(ReadParamFileLines(shortPath).value(), (QStringList{"[P1--]", "5"}));
    }
};

QTEST_GUILESS_MAIN(TestParamFile)
#include "tst_param_file.moc"
