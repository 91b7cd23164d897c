// What the user sees on screen: windows centred, captions and names not clipped, headings
// readable, every report column in view, and a way back off line after a station typo.
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "MainRig.h"
#include "link/Texts.h"
#include "params/ParamPages.h"
#include "report/ReportWindow.h"
#include "shell/CommDialogs.h"
#include "testop/InputWindow.h"
#include "widgets/GradientWidgets.h"

using namespace velmora;

namespace {

bool centred(const QWidget *w)
{
    const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint mine = w->frameGeometry().center();
    return (screen - mine).manhattanLength() <= 40;
}

bool fits(const QWidget *w, const QString &text, int margin)
{
    return QFontMetrics(w->font()).horizontalAdvance(text) <= w->width() - margin;
}

} // namespace

class TestOnScreen : public QObject {
    Q_OBJECT
private slots:
    void windowsAreCentred()
    {
        MainRig rig;
        QVERIFY2(centred(&rig.main), qPrintable(QStringLiteral("%1,%2").arg(rig.main.x()).arg(rig.main.y())));
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.waitPollCycles(1));
        rig.main.INPUT_PORTClick();
        auto *panel = qobject_cast<TForm_Input_IO *>(rig.main.childWindows().current());
        QVERIFY(panel);
        QVERIFY(QTest::qWaitForWindowExposed(panel));
        QVERIFY2(centred(panel), qPrintable(QStringLiteral("%1,%2 %3x%4").arg(panel->x()).arg(panel->y())
                                                .arg(panel->width()).arg(panel->height())));
    }

    void captionsAndNamesAreNotClipped()
    {
        MainRig rig;
        auto *info = rig.button("btnALS_Detail");
        QVERIFY(fits(info, info->text(), 8));
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        for (int group = 1; group <= 9; ++group) {
            rig.main.openParamPage(group);
            auto *page = qobject_cast<TForm_Page *>(rig.main.childWindows().current());
            QVERIFY(page);
            for (size_t row = 0; row < page->paramGroup().rows.size(); ++row) {
                const QString name = QString::fromUtf8(page->paramGroup().rows[row].name);
                for (QLabel *label : page->findChildren<QLabel *>()) {
                    if (label->text() == name)
                        QVERIFY2(fits(label, name, 4), qPrintable(name));
                }
            }
            page->close();
            QTRY_VERIFY(!rig.main.childWindows().isOpen());
        }
    }

    // dFLT says "Initializing..." while the drive restores its defaults, in full.
    void initialisingFitsItsButton()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        rig.main.openParamPage(2);
        auto *page = qobject_cast<TForm_Page *>(rig.main.childWindows().current());
        QVERIFY(page);
        QPushButton *dflt = page->setButton(28);
        QCOMPARE(dflt->text(), QStringLiteral("dFLT"));
        rig.messages.answers = {true};
        bool seen = false, fitted = false;
        QTimer::singleShot(200, [&] {
            seen = dflt->text() == QLatin1String("Initializing...");
            fitted = fits(dflt, dflt->text(), 6);
        });
        page->setClicked(28);
        QVERIFY(seen);
        QVERIFY(fitted);
        QCOMPARE(dflt->text(), QStringLiteral("dFLT"));
    }

    void theStationHeadingIsReadable()
    {
        QWidget owner;
        TForm_ID dialog(&owner);
        auto *heading = dialog.findChild<GradientButton *>(QStringLiteral("GradBtn1"));
        QVERIFY(heading && !heading->isEnabled());
        QCOMPARE(heading->captionColor(), QColor::fromRgba(GradientButton::EnabledCaption));
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        rig.main.INPUT_PORTClick();
        QVERIFY(rig.main.childWindows().current());
        auto *banner = rig.main.childWindows().current()->findChild<GradientButton *>(QStringLiteral("GradBtn1"));
        QVERIFY(banner);
        QCOMPARE(banner->captionColor(), QColor::fromRgba(GradientButton::EnabledCaption));
    }

    void everyReportColumnIsInView()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        rig.main.Report1Click();
        auto *report = qobject_cast<TForm_Report *>(rig.main.childWindows().current());
        QVERIFY(report);
        QVERIFY(QTest::qWaitForWindowExposed(report));
        auto *view = report->findChild<QTableView *>(QStringLiteral("F1Book_Report"));
        const int last = view->model()->columnCount() - 1;
        QVERIFY2(view->columnViewportPosition(last) + view->columnWidth(last) <= view->viewport()->width(),
                 qPrintable(QStringLiteral("%1 + %2 > %3").arg(view->columnViewportPosition(last))
                                .arg(view->columnWidth(last)).arg(view->viewport()->width())));
        report->close();
    }

    // A station typo leaves the port open; Off-Line closes it again, and the port settings
    // can then be changed.
    void aStationTypoCanBeUndone()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(!rig.main.onLineSequence(QStringLiteral("x")));
        QCOMPARE(rig.messages.shown.last(), QString::fromLatin1(texts::ComportSettingError));
        QVERIFY(rig.main.port().isOpen());
        QVERIFY(rig.button("BtnOFF_LINE")->isEnabled());
        QVERIFY(rig.button("BtnON_Line")->isEnabled());
        QVERIFY(!rig.button("btnP1")->isEnabled());
        rig.button("BtnOFF_LINE")->click();
        QVERIFY(!rig.main.port().isOpen());
        rig.messages.shown.clear();
        rig.main.SET1Click();
        QVERIFY(!rig.messages.shown.contains(QString::fromLatin1(texts::ComportOpenAlready)));
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("TForm_COMM"))
                w->close();
    }
};

QTEST_MAIN(TestOnScreen)
#include "tst_on_screen.moc"
