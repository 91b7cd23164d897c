// The parameter pages: built from the catalogue, read when shown and on "Read Again",
// P1's motor rows, the derived rows of P3 and P5, and the readers without a page.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include "FileSizeLimit.h"
#include "MainRig.h"
#include "params/ParamFile.h"
#include "params/ParamPages.h"
#include "params/ReportWindows.h"

using namespace velmora;

namespace {

TForm_Page *openPage(MainRig &rig, int group)
{
    rig.main.openParamPage(group);
    return qobject_cast<TForm_Page *>(rig.main.childWindows().current());
}

QString shown(TForm_Page *page, const QString &name) { return page->findChild<QLabel *>(name)->text(); }

void closePage(TForm_Page *page)
{
    page->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestPages : public QObject {
    Q_OBJECT
private slots:
    void pagesAreBuiltFromTheCatalogue()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        const int counts[9] = {20, 33, 24, 14, 22, 9, 12, 10, 8};
        for (int g = 1; g <= 9; ++g) {
            TForm_Page *page = openPage(rig, g);
            QVERIFY(page);
            QCOMPARE(page->objectName(), QStringLiteral("TForm_P%1").arg(g));
            QCOMPARE(page->windowTitle(), QString::fromUtf8(ParamGroups[size_t(g - 1)].caption));
            QCOMPARE(bool(page->windowFlags() & Qt::WindowStaysOnTopHint), g != 6 && g != 8 && g != 9);
            for (int n = 1; n <= counts[g - 1]; ++n) {
                const QString value = QStringLiteral("STextP%1_%2").arg(g).arg(n, 2, 10, QLatin1Char('0'));
                QVERIFY2(page->findChild<QLabel *>(value), qPrintable(value));
                QVERIFY2(page->findChild<QWidget *>(TForm_Page::setButtonName(g, n - 1)), qPrintable(value));
            }
            QVERIFY(page->findChild<QWidget *>(QStringLiteral("btnReflash")));
            QVERIFY(page->findChild<QWidget *>(g == 3 ? QStringLiteral("BtnClose") : QStringLiteral("btnClose")));
            QVERIFY(!rig.main.isEnabled());
            closePage(page);
            QTRY_VERIFY(rig.main.poller() != nullptr);
        }
        QVERIFY(rig.main.findChild<QWidget *>(QStringLiteral("ComboP1_1")) == nullptr); // pages are gone
    }

    void namesThatDepartFromThePattern()
    {
        QCOMPARE(TForm_Page::entryName(1, 0), QStringLiteral("ComboP1_1"));
        QCOMPARE(TForm_Page::entryName(1, 1), QStringLiteral("EditP1_02"));
        QCOMPARE(TForm_Page::entryName(7, 4), QStringLiteral("ComboP7_5"));
        QCOMPARE(TForm_Page::entryName(8, 9), QStringLiteral("ComboP8_10"));
        QCOMPARE(TForm_Page::entryName(2, 0), QStringLiteral("ComboP2_01"));
        QCOMPARE(TForm_Page::setButtonName(1, 0), QStringLiteral("BtnP1_01"));
        QCOMPARE(TForm_Page::setButtonName(1, 8), QStringLiteral("btnP1_09"));
        QCOMPARE(TForm_Page::setButtonName(1, 9), QStringLiteral("BtnP1_10"));
        QCOMPARE(TForm_Page::setButtonName(3, 4), QStringLiteral("btnP3_05"));
        QCOMPARE(TForm_Page::setButtonName(4, 0), QStringLiteral("BtnP4_01"));
        QCOMPARE(RadiansText(QStringLiteral("40.5")), QStringLiteral("254.34"));
        QCOMPARE(RadiansText(QStringLiteral("50")), QStringLiteral("314"));
    }

    void valuesByTheDisplayRule()
    {
        MainRig rig;
        rig.usePort(1);
        rig.drive->setRegister(211, 12.34);  // P2-12
        rig.drive->setRegister(103, 0.0015); // P1-04
        rig.drive->setRegister(304, 50);     // P3-05
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));

        TForm_Page *p2 = openPage(rig, 2);
        QCOMPARE(shown(p2, QStringLiteral("STextP2_12")), QStringLiteral("12.3"));
        auto *dflt = p2->findChild<QPushButton *>(QStringLiteral("btnP2_29"));
        QCOMPARE(dflt->text(), QStringLiteral("dFLT"));
        QVERIFY(p2->entry(28) == nullptr);
        closePage(p2);
        QTRY_VERIFY(rig.main.poller() != nullptr);

        TForm_Page *p3 = openPage(rig, 3);
        QCOMPARE(shown(p3, QStringLiteral("STextP3_05")), QStringLiteral("50"));
        QCOMPARE(shown(p3, QStringLiteral("STextP3_05_1")), QStringLiteral("314"));
        closePage(p3);
        QTRY_VERIFY(rig.main.poller() != nullptr);

        rig.drive->setRegister(100, 0); // motor code 0: the motor's rows are offered, empty
        TForm_Page *p1 = openPage(rig, 1);
        QCOMPARE(rig.main.paramTexts().P(1).value(3), QStringLiteral("0.002"));
        QVERIFY(p1->valueDisplay(3)->isVisibleTo(p1));
        QVERIFY(p1->valueDisplay(3)->text().isEmpty());
        QVERIFY(p1->entry(3)->isVisibleTo(p1));
        closePage(p1);
        QTRY_VERIFY(rig.main.poller() != nullptr);

        rig.drive->setRegister(100, 5); // a known motor: only identifier and name remain
        p1 = openPage(rig, 1);
        for (int row = 1; row <= 8; ++row) {
            QVERIFY(!p1->valueDisplay(row)->isVisibleTo(p1));
            QVERIFY(!p1->entry(row)->isVisibleTo(p1));
            QVERIFY(!p1->setButton(row)->isVisibleTo(p1));
        }
        QVERIFY(p1->valueDisplay(9)->isVisibleTo(p1));
        QCOMPARE(shown(p1, QStringLiteral("STextP1_01")), QStringLiteral("5"));
        closePage(p1);
    }

    void readAgainAfterTheDriveWentSilent()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        TForm_Page *p4 = openPage(rig, 4);
        QVERIFY(!shown(p4, QStringLiteral("STextP4_01")).isEmpty());
        rig.drive->setSilent(true);
        p4->btnReflashClick();
        // Nothing came back: nothing is shown as the drive's value.
        QVERIFY(shown(p4, QStringLiteral("STextP4_01")).isEmpty());
        QVERIFY(!rig.main.paramTexts().P(4).isEmpty()); // the last good read is kept
        rig.drive->setSilent(false);
        p4->btnReflashClick();
        QVERIFY(!shown(p4, QStringLiteral("STextP4_01")).isEmpty());
        closePage(p4);
    }

    void closingP7ResetsTheLampLabelsButP4DoesNot()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QTRY_VERIFY(rig.main.monitor().LabelRefreshCount >= 2);
        closePage(openPage(rig, 4));
        QCOMPARE(rig.main.monitor().LabelRefreshCount.load(), 2);
        QTRY_VERIFY(rig.main.poller() != nullptr);
        closePage(openPage(rig, 7));
        QCOMPARE(rig.main.monitor().LabelRefreshCount.load(), 0);
    }

    void readFromTheDriveIntoAFile()
    {
        MainRig rig;
        rig.usePort(1);
        rig.drive->setRegister(100, 5);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QTemporaryDir dir;

        rig.messages.answers = {false};
        rig.drive->clearTraffic();
        rig.main.UpLoad1Click();
        QVERIFY(rig.main.isEnabled());
        QVERIFY(rig.main.poller() && rig.main.poller()->isRunning());

        rig.messages.answers = {true};
        rig.messages.files = {dir.filePath(QStringLiteral("backup"))};
        rig.main.UpLoad1Click();
        const QString path = dir.filePath(QStringLiteral("backup.vpf"));
        const QStringList lines = ReadParamFileLines(path).value();
        QCOMPARE(lines.size(), kParamFileLines);
        QCOMPARE(lines.mid(0, 3), (QStringList{"[P1--]", "5", "default"}));
        QCOMPARE(lines[160], rig.main.paramTexts().P(9).last());
        auto *view = rig.main.findChild<TForm_Save_Report *>();
        QVERIFY(view);
        QCOMPARE(view->memo()->toPlainText().split(QLatin1Char('\n')), lines);
        QVERIFY(!rig.main.isEnabled());
        view->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(rig.main.isEnabled());

        // A save that fails: the message, the error line in the view, the old file kept.
        const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        rig.drive->setRegister(100, 0);
        rig.messages.answers = {true};
        rig.messages.files = {path};
        rig.messages.shown.clear();
        {
            const FileSizeLimit limit(100);
            rig.main.UpLoad1Click();
        }
        QCOMPARE(rig.messages.shown.last(), QStringLiteral("File save fail. Check the file being used or not"));
        auto *failedView = rig.main.findChild<TForm_Save_Report *>();
        QCOMPARE(failedView->memo()->toPlainText(), QStringLiteral("-------error occured!!-------."));
        QFile kept(path);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), before);
        failedView->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // Open shows the file, padded to 161 lines when it is short.
        QFile shortFile(dir.filePath(QStringLiteral("short.vpf")));
        QVERIFY(shortFile.open(QIODevice::WriteOnly));
        shortFile.write("[P1--]\r\n0\r\n");
        shortFile.close();
        rig.messages.files = {shortFile.fileName()};
        rig.main.OPEN1Click();
        auto *open = rig.main.findChild<TForm_OPEN_REPORT *>();
        QVERIFY(open);
        QCOMPARE(open->memo()->toPlainText().split(QLatin1Char('\n')).size(), kParamFileLines);
        QVERIFY(rig.main.isEnabled());
    }

    void readersWithoutAPage()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        rig.main.stopPoller();
        ParamTexts &texts = rig.main.paramTexts();
        QCOMPARE(TThread_P9_READ(rig.main.session(), texts).run(), ReplyOutcome::Good);
        QCOMPARE(texts.P(9).size(), 8);
        QCOMPARE(TThread_P7_READ(rig.main.session(), texts).run(), ReplyOutcome::Good);
        QCOMPARE(texts.P(7).value(0), QStringLiteral("1"));
        QVERIFY(!texts.showOnPage[6]);
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
