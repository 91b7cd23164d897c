// The About, cable wiring and Processing windows: what they say, how they close, where they
// appear, and that the wiring drawings paint.
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QSet>
#include <QTest>

#include <limits>

#include "shell/AboutWindow.h"
#include "shell/ConnectionWindow.h"
#include "widgets/ProcessWindow.h"
#include "widgets/GradientWidgets.h"

using namespace velmora;

namespace {

QPoint screenCentre()
{
    return QGuiApplication::primaryScreen()->availableGeometry().center();
}

// Within a pixel or so of the screen's centre (odd sizes round either way).
bool isCentred(const QWidget &w)
{
    return (w.frameGeometry().center() - screenCentre()).manhattanLength() <= 2;
}

void click(QWidget *w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

} // namespace

class TestSmallWindows : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        // An off-centre main window, so a window placed over its parent is told apart from
        // one centred on the screen.
        main_ = new QWidget;
        main_->setGeometry(10, 10, 200, 120);
        main_->show();
    }
    void cleanup() { delete main_; }

    void aboutSaysWhatItIsAndClosesItself()
    {
        QPointer<TForm_About> about = new TForm_About(main_);
        about->show();
        QCOMPARE(about->windowTitle(), QStringLiteral("About"));
        QCOMPARE(about->findChild<QLabel *>("ProductName")->text(), QStringLiteral("Velmora"));
        QCOMPARE(about->findChild<QLabel *>("Version")->text(), QStringLiteral("Version 1.4"));
        QVERIFY(!about->findChild<QLabel *>("Comments")->text().isEmpty());
        QVERIFY(!about->isModal());
        QVERIFY(main_->isEnabled());

        click(about->findChild<QWidget *>("OKButton"));
        QVERIFY(!about->isVisible());
        QTRY_VERIFY(about.isNull());
        QVERIFY(main_->isEnabled());
    }

    void wiringWindowTexts()
    {
        auto *wiring = new TForm_Connection(main_);
        wiring->show();
        QCOMPARE(wiring->windowTitle(), QStringLiteral("Comm Cable Wiring--"));
        QCOMPARE(wiring->findChild<Gradpanl *>("Rs232cHeader")->caption(), QStringLiteral(u"\u25B7 RS232C Channel"));
        QCOMPARE(wiring->findChild<Gradpanl *>("Rs485Header")->caption(), QStringLiteral(u"\u25B7 RS485 Channel"));
        auto *close = wiring->findChild<GradRoundBtn *>("GradRoundBtn2");
        QVERIFY(close);
        QCOMPARE(close->text(), QStringLiteral("Close"));
        wiring->close();
    }

    void wiringWindowIsCentredOnScreenAndClosesItself()
    {
        QPointer<TForm_Connection> wiring = new TForm_Connection(main_);
        wiring->show();
        QVERIFY(isCentred(*wiring));
        QVERIFY(!wiring->isModal());
        QVERIFY(main_->isEnabled());

        click(wiring->findChild<QWidget *>("GradRoundBtn2"));
        QTRY_VERIFY(wiring.isNull());
    }

    void aboutAndWiringOpenTogetherWithMainUsable()
    {
        QPointer<TForm_About> about = new TForm_About(main_);
        QPointer<TForm_Connection> wiring = new TForm_Connection(main_);
        about->show();
        wiring->show();
        QVERIFY(about->isVisible() && wiring->isVisible());
        QVERIFY(main_->isEnabled() && about->isEnabled() && wiring->isEnabled());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);

        // Deleting the main window takes both with it.
        delete main_;
        main_ = nullptr;
        QVERIFY(about.isNull() && wiring.isNull());
    }

    void wiringDrawingsPaintInsideTheirBounds_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("RS-232C") << QStringLiteral("Rs232cWiring");
        QTest::newRow("RS-485") << QStringLiteral("Rs485Wiring");
    }
    void wiringDrawingsPaintInsideTheirBounds()
    {
        QFETCH(QString, name);
        TForm_Connection wiring;
        auto *drawing = wiring.findChild<QWidget *>(name);
        QVERIFY(drawing);
        const QImage image = drawing->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.size(), drawing->size());

        const QRgb paper = image.pixel(0, 0);
        constexpr int kMargin = 3;
        int inked = 0;
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb px = image.pixel(x, y);
                if (px == paper)
                    continue;
                ++inked;
                colours.insert(px);
                const bool inMargin = x < kMargin || y < kMargin || x >= image.width() - kMargin
                                      || y >= image.height() - kMargin;
                if (inMargin)
                    QFAIL(qPrintable(QStringLiteral("drawn over the edge at %1,%2").arg(x).arg(y)));
            }
        }
        // Connectors, wires and labels, in colour: well above a blank or one-colour canvas.
        QVERIFY2(inked > image.width() * image.height() / 20, qPrintable(QString::number(inked)));
        QVERIFY(colours.size() > 50);
    }

    void processWindowShape()
    {
        TForm_Process process;
        QVERIFY(!process.isVisible());
        QCOMPARE(process.windowTitle(), QStringLiteral("Processing"));
        QVERIFY(process.windowFlags() & Qt::WindowStaysOnTopHint);
        auto *bar = process.findChild<QProgressBar *>("ProgressBar1");
        QVERIFY(bar);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->value(), 0);

        process.setCaptionText(QStringLiteral("Reading parameters......"));
        QCOMPARE(process.windowTitle(), QStringLiteral("Reading parameters......"));
    }

    void processWindowPositionAndStepping()
    {
        TForm_Process process;
        auto *bar = process.findChild<QProgressBar *>("ProgressBar1");
        process.setPosition(40);
        QCOMPARE(bar->value(), 40);
        process.setPosition(150);
        QCOMPARE(bar->value(), 100);
        process.setPosition(-5);
        QCOMPARE(bar->value(), 0);

        process.setStep(7);
        process.setPosition(80);
        process.stepIt();
        QCOMPARE(bar->value(), 87);
        process.stepIt();
        process.stepIt();
        QCOMPARE(bar->value(), 100); // held full, not wrapped to the start
        process.setStep(-60);
        process.stepIt();
        process.stepIt();
        QCOMPARE(bar->value(), 0);
        process.setStep(std::numeric_limits<int>::max());
        process.setPosition(50);
        process.stepIt();
        QCOMPARE(bar->value(), 100);
    }

    void processWindowIsReusedAndRecentred()
    {
        TForm_Process process;
        process.show();
        QVERIFY(isCentred(process));
        process.hide();
        process.move(0, 0);
        process.setPosition(30);
        process.show();
        QVERIFY(process.isVisible());
        QVERIFY(isCentred(process));
        QCOMPARE(process.position(), 30);
        process.hide();
        QVERIFY(!process.isVisible());
    }

private:
    QWidget *main_ = nullptr;
};

QTEST_MAIN(TestSmallWindows)
#include "tst_small_windows.moc"
