// The Set buttons of the parameter pages: one representative per value source and
// follow-up, asserted on the frames the simulated drive received.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "MainRig.h"
#include "link/Texts.h"
#include "params/ChangeRecordCsv.h"
#include "params/ParamPages.h"

using namespace velmora;

namespace {

struct PageRig : MainRig {
    TForm_Page *page = nullptr;

    explicit PageRig(int group)
    {
        usePort(1);
        QVERIFY(main.onLineSequence(QStringLiteral("1")));
        main.openParamPage(group);
        page = qobject_cast<TForm_Page *>(main.childWindows().current());
        drive->clearTraffic();
    }
    QComboBox *combo(const char *name) { return page->findChild<QComboBox *>(QLatin1String(name)); }
    QLineEdit *edit(const char *name) { return page->findChild<QLineEdit *>(QLatin1String(name)); }
    // The write frames (function 6) received, without their CRC.
    QList<QByteArray> writes()
    {
        QList<QByteArray> out;
        for (const QByteArray &f : drive->requests())
            if (f.size() == 10 && f[1] == 6)
                out << f.left(8).toHex();
        return out;
    }
};

} // namespace

class TestParamWriting : public QObject {
    Q_OBJECT
private slots:
    // An editable list: the text in the box decides. An item's text is that item's position;
    // typed text is written as typed, or refused; the old position is never written.
    void typedTextInAnEditableListIsWhatIsWritten()
    {
        PageRig rig(1);
        QComboBox *baud = rig.combo("ComboBoxP1_15") ? rig.combo("ComboBoxP1_15")
                                                     : qobject_cast<QComboBox *>(rig.page->entry(14));
        QVERIFY(baud && baud->isEditable());
        baud->setCurrentIndex(3); // "03"
        rig.page->setClicked(14);
        QCOMPARE(rig.writes(), QList<QByteArray>{"0106007200000003"});
        rig.drive->clearTraffic();
        baud->setEditText(QStringLiteral("19200"));
        rig.page->setClicked(14);
        QCOMPARE(rig.writes(), QList<QByteArray>{"0106007200004b00"});
        QCOMPARE(rig.drive->registerValue(114), 19200.0);
        rig.drive->clearTraffic();
        baud->setEditText(QStringLiteral("fast"));
        rig.page->setClicked(14);
        QVERIFY(rig.writes().isEmpty());
        QCOMPARE(rig.messages.shown.last(), QString::fromLatin1(texts::WrongParameter));
        rig.drive->clearTraffic();
        baud->setEditText(QString());
        rig.page->setClicked(14);
        QVERIFY(rig.writes().isEmpty());

        // P1-01: 5 typed is motor code 5, not the list position shown before it.
        auto *motor = qobject_cast<QComboBox *>(rig.page->entry(0));
        QVERIFY(motor && motor->isEditable());
        motor->setCurrentIndex(8); // "VC60"
        motor->setEditText(QStringLiteral("5"));
        rig.drive->clearTraffic();
        rig.page->setClicked(0);
        QCOMPARE(rig.writes(), QList<QByteArray>{"0106006400000005"});
    }

    void editRowWritesItsSingleAndShowsTheReadBack()
    {
        PageRig rig(2);
        rig.edit("EditP2_03")->setText(QStringLiteral("150.5"));
        rig.page->setClicked(2);
        QCOMPARE(rig.writes(), QList<QByteArray>{"010600ca43168000"});
        QCOMPARE(rig.page->valueDisplay(2)->text(), QStringLiteral("150.5"));
        QVERIFY(rig.messages.shown.isEmpty());
        // Out of range: nothing is sent.
        rig.drive->clearTraffic();
        rig.edit("EditP2_03")->setText(QStringLiteral("300.1"));
        rig.page->setClicked(2);
        QVERIFY(rig.writes().isEmpty());
        QCOMPARE(rig.messages.shown.last(), QString::fromLatin1(texts::WrongParameter));
    }

    void listSources()
    {
        PageRig rig(2);
        rig.combo("ComboP2_01")->setCurrentIndex(rig.combo("ComboP2_01")->findText(QStringLiteral("Position")));
        rig.page->setClicked(0);
        QCOMPARE(rig.writes().value(0), QByteArray("010600c800000002"));

        PageRig p1(1);
        QComboBox *enc = p1.combo("ComboP1_12");
        enc->setCurrentIndex(enc->findText(QStringLiteral("Enc-P")));
        p1.page->setClicked(11);
        QCOMPARE(p1.writes().value(0), QByteArray("0106006f00000009"));
        p1.drive->clearTraffic();
        enc->setCurrentIndex(enc->findText(QStringLiteral("Enc-G")));
        p1.page->setClicked(11);
        QCOMPARE(p1.writes().value(0), QByteArray("0106006f00000007"));

        // Nothing chosen, a rate typed: the position fails and the text is written.
        p1.drive->clearTraffic();
        QComboBox *baud = p1.combo("ComboP1_15");
        baud->setCurrentIndex(-1);
        baud->setEditText(QStringLiteral("38400"));
        p1.page->setClicked(14);
        QCOMPARE(p1.writes().value(0), QByteArray("0106007200009600"));
    }

    void inputFunctionsAboveTwentyOnlyOnTheFirstPin()
    {
        PageRig rig(7);
        rig.combo("ComboP7_5")->setCurrentIndex(25);
        rig.page->setClicked(4);
        QVERIFY(rig.writes().isEmpty());
        QCOMPARE(rig.messages.shown.last(), QString::fromLatin1(texts::WrongParameter));
        rig.combo("ComboP7_1")->setCurrentIndex(25);
        rig.page->setClicked(0);
        QCOMPARE(rig.writes().value(0), QByteArray("010602bc00000019"));
    }

    void stationChangeBeforeTheReadBack()
    {
        PageRig rig(1);
        rig.combo("ComboP1_18")->setCurrentIndex(5);
        rig.page->setClicked(17);
        const QList<QByteArray> sent = rig.drive->requests();
        QCOMPARE(sent.size(), 4); // guard, guard, write, read-back
        QCOMPARE(uint8_t(sent[2][0]), uint8_t(1));
        QCOMPARE(uint8_t(sent[3][0]), uint8_t(5));
        QCOMPARE(rig.page->valueDisplay(17)->text(), QStringLiteral("5"));
        QCOMPARE(int(rig.main.session().req.stationNumber), 5);
    }

    void guardedRowWithTheServoOn()
    {
        PageRig rig(1);
        QVERIFY(rig.drive->setServoOn(true));
        rig.drive->clearTraffic();
        rig.edit("EditP1_14")->setText(QStringLiteral("1000"));
        rig.page->setClicked(13);
        QCOMPARE(rig.drive->requests().size(), 2);
        QVERIFY(rig.writes().isEmpty());
        QCOMPARE(rig.messages.shown.last(), QString::fromLatin1(texts::ServoOn));
        // A whole value beyond 16 bits is refused, never truncated.
        QVERIFY(rig.drive->setServoOn(false));
        rig.edit("EditP1_14")->setText(QStringLiteral("70000"));
        rig.page->setClicked(13);
        QVERIFY(rig.writes().isEmpty());
        QCOMPARE(rig.messages.shown.last(), QString::fromLatin1(texts::WrongParameter));
    }

    void motorRowsFollowTheMotorCode()
    {
        PageRig rig(1);
        QComboBox *motor = rig.combo("ComboP1_1");
        motor->setCurrentIndex(5);
        rig.page->setClicked(0);
        QVERIFY(!rig.page->entry(3)->isVisibleTo(rig.page));
        motor->setCurrentIndex(-1);
        motor->setEditText(QStringLiteral("0"));
        rig.page->setClicked(0);
        QCOMPARE(rig.writes().last(), QByteArray("0106006400000000"));
        QVERIFY(rig.page->entry(3)->isVisibleTo(rig.page));
    }

    void derivedRowAfterSet()
    {
        PageRig rig(3);
        rig.edit("EditP3_05")->setText(QStringLiteral("40.5"));
        rig.page->setClicked(4);
        QCOMPARE(rig.page->findChild<QLabel *>(QStringLiteral("STextP3_05_1"))->text(), QStringLiteral("254.34"));
    }

    // Every row tells its range, kind, guard and list items; a refused value names the range
    // on the page's status line, and a good Set clears it.
    void rowHelpAndTheRangeOfARefusal()
    {
        PageRig rig(3);
        QWidget *gain = rig.page->entry(4); // P3-05 SC Loop Gain1 [Hz], 0 to 1000
        QVERIFY(gain->toolTip().startsWith(QStringLiteral("P3-05")));
        QVERIFY2(gain->toolTip().contains(QStringLiteral("Range: 0 to 1000 Hz")), qPrintable(gain->toolTip()));
        QCOMPARE(rig.page->valueDisplay(4)->toolTip(), gain->toolTip());
        QVERIFY(rig.page->entry(0)->toolTip().contains(QStringLiteral("Items:\n  1\n  2")));
        qobject_cast<QLineEdit *>(gain)->setText(QStringLiteral("1200"));
        rig.page->setClicked(4);
        QVERIFY(rig.writes().isEmpty());
        QCOMPARE(rig.page->statusLine()->text(), QStringLiteral("P3-05: \"1200\" refused; it takes 0 to 1000 Hz"));
        qobject_cast<QLineEdit *>(gain)->setText(QStringLiteral("40"));
        rig.page->setClicked(4);
        QCOMPARE(rig.writes().size(), 1);
        QVERIFY(rig.page->statusLine()->text().isEmpty());

        PageRig motor(1);
        const QString help = motor.page->entry(0)->toolTip(); // the motor list, written by position
        QVERIFY2(help.contains(QStringLiteral("Items (number written = item):\n  0 = ")), qPrintable(help.left(200)));
        // The number shown gets its item's text beside it, in the empty list.
        const int code = motor.page->valueDisplay(0)->text().toInt();
        auto *list = qobject_cast<QComboBox *>(motor.page->entry(0));
        QCOMPARE(list->placeholderText(),
                 QStringLiteral("%1 = %2").arg(code).arg(QString::fromUtf8(ParamGroups[0].rows[0].items[size_t(code)])));
        QCOMPARE(list->currentIndex(), -1);
    }

    // Every write on the wire is in the change record, with the value read before it, the
    // value written and the read-back; it is saved as CSV, and offered on closing.
    void changeRecordHoldsEveryWrite()
    {
        PageRig rig(3);
        QTemporaryDir dir;
        QLineEdit *gain = qobject_cast<QLineEdit *>(rig.page->entry(4)); // P3-05, shown as read on opening
        const QString before = rig.page->valueDisplay(4)->text();
        gain->setText(QStringLiteral("40"));
        rig.page->setClicked(4);
        gain->setText(QStringLiteral("1200")); // refused: nothing sent, nothing recorded
        rig.page->setClicked(4);
        rig.drive->dropNextReplies(1); // a write whose answer is lost is recorded as such
        gain->setText(QStringLiteral("41.5"));
        rig.page->setClicked(4);

        const std::vector<ChangeEntry> entries = rig.main.session().changes.entries();
        QCOMPARE(int(entries.size()), rig.writes().size());
        QCOMPARE(entries.size(), size_t(2));
        const QStringList first = ChangeRecordRow(entries[0]);
        QCOMPARE(first.mid(1), (QStringList{"1", "P3-05", "304", before, "40", "40", "good"}));
        const QStringList second = ChangeRecordRow(entries[1]);
        QCOMPARE(second.mid(1, 5), (QStringList{"1", "P3-05", "304", "40", "41.5"}));
        QCOMPARE(second[6], QStringLiteral("41.5")); // the read-back tells the write took
        QCOMPARE(second[7], QStringLiteral("no reply"));

        rig.messages.files = {dir.filePath(QStringLiteral("changes"))};
        QVERIFY(rig.main.saveChangeRecord());
        QFile saved(dir.filePath(QStringLiteral("changes.csv")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = saved.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0].trimmed(), QByteArray("Time,Station,Parameter,Register,Before,Written,Read back,Outcome"));
        QCOMPARE(rig.main.session().changes.unsaved(), size_t(0));

        // A further write, then closing: the record is offered and saved where asked.
        gain->setText(QStringLiteral("42"));
        rig.page->setClicked(4);
        rig.page->close();
        rig.messages.answers = {true};
        rig.messages.files = {dir.filePath(QStringLiteral("at-close.csv"))};
        rig.main.close();
        QFile atClose(dir.filePath(QStringLiteral("at-close.csv")));
        QVERIFY(atClose.open(QIODevice::ReadOnly));
        QCOMPARE(atClose.readAll().trimmed().split('\n').size(), 1 + 3);
    }

    void parameterInitialisation()
    {
        PageRig rig(2);
        rig.messages.answers = {false};
        rig.page->setClicked(28);
        QCOMPARE(rig.messages.shown.last(), QString::fromLatin1(texts::InitializeQuestion));
        QCOMPARE(rig.drive->requests().size(), 2); // the guard only
        rig.drive->setRegister(202, 123.4);
        rig.drive->clearTraffic();
        rig.messages.answers = {true};
        rig.page->setClicked(28);
        QCOMPARE(rig.writes(), QList<QByteArray>{"010600e400000001"});
        QCOMPARE(rig.drive->requests().last().left(6).toHex(), QByteArray("010300c80021"));
        QCOMPARE(rig.page->setButton(28)->text(), QStringLiteral("dFLT"));
        QVERIFY(rig.page->valueDisplay(2)->text() != QStringLiteral("123.4")); // defaults again
    }
};

QTEST_MAIN(TestParamWriting)
#include "tst_param_writing.moc"
