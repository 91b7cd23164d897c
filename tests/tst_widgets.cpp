// The lamp indicator's faces, switching and blinking, and the gradient buttons' captions.
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "widgets/ALed.h"
#include "widgets/GradientWidgets.h"

using namespace velmora;

namespace {

const QRgb Lime = qRgb(0, 255, 0);
const QRgb Silver = qRgb(192, 192, 192);
const QRgb Red = qRgb(255, 0, 0);

QPoint centreOf(const QImage &img) { return {img.width() / 2, img.height() / 2}; }
QRgb centre(const QImage &img) { return img.pixel(centreOf(img)); }
QRgb shownCentre(const ThhALed &lamp) { return centre(lamp.currentFace()); }

bool contains(const QImage &img, QRgb colour)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == colour)
                return true;
    return false;
}

} // namespace

class TestWidgets : public QObject {
    Q_OBJECT
private slots:
    void newLamp()
    {
        ThhALed lamp;
        QCOMPARE(lamp.size(), QSize(16, 16));
        QVERIFY(!lamp.value());
        QVERIFY(!lamp.showingOnFace());
        QVERIFY(!lamp.isBlinking());
        QCOMPARE(shownCentre(lamp), Silver);
        QCOMPARE(lamp.borderColor(), lamp.palette().color(QPalette::Window));
    }

    void stylesAndTemplates_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("bordered");
        QTest::addColumn<QString>("borderless");
        QTest::newRow("small") << int(ThhALed::LEDSmall) << QSize(16, 16) << "BSM" << "NSM";
        QTest::newRow("large") << int(ThhALed::LEDLarge) << QSize(22, 22) << "BLG" << "NLG";
        QTest::newRow("sq small") << int(ThhALed::LEDSqSmall) << QSize(16, 16) << "BSQSM" << "NSQSM";
        QTest::newRow("sq large") << int(ThhALed::LEDSqLarge) << QSize(22, 22) << "BSQLG" << "NSQLG";
        QTest::newRow("vertical") << int(ThhALed::LEDVertical) << QSize(16, 22) << "BVT" << "NVT";
        QTest::newRow("horizontal") << int(ThhALed::LEDHorizontal) << QSize(22, 16) << "BHZ" << "NHZ";
    }

    void stylesAndTemplates()
    {
        QFETCH(int, style);
        QFETCH(QSize, size);
        QFETCH(QString, bordered);
        QFETCH(QString, borderless);
        const auto s = ThhALed::TLEDStyle(style);
        QCOMPARE(ThhALed::templateName(s, true), bordered);
        QCOMPARE(ThhALed::templateName(s, false), borderless);

        for (const QString &name : {bordered, borderless}) {
            const QImage t = ThhALed::faceTemplate(name);
            QCOMPARE(t.size(), size);
            QCOMPARE(centre(t), Lime);
            QCOMPARE(t.pixel(0, 0), Silver);
        }
        // The bordered picture has a ring of its own between face and surround.
        const QImage b = ThhALed::faceTemplate(bordered);
        bool ring = false;
        for (int x = 0; x < size.width() / 2; ++x) {
            const QRgb c = b.pixel(x, size.height() / 2);
            ring = ring || (c != Lime && c != Silver);
        }
        QVERIFY(ring);

        ThhALed lamp;
        lamp.setLEDStyle(s);
        QCOMPARE(lamp.size(), size);
        QCOMPARE(lamp.onFace().size(), size);
        lamp.setBordered(false);
        QCOMPARE(lamp.size(), size);
        // Default off colour is the surround's silver: the face must not leak into the
        // surround when that is repainted in the border colour.
        lamp.setBorderColor(QColor(10, 20, 30));
        QCOMPARE(centre(lamp.offFace()), Silver);
        QCOMPARE(centre(lamp.onFace()), Lime);
        QCOMPARE(lamp.offFace().pixel(0, 0), qRgb(10, 20, 30));
    }

    void newLampSetOnBlinksBetweenLimeAndSilver()
    {
        ThhALed lamp;
        lamp.setValue(true);
        QVERIFY(lamp.showingOnFace());
        QCOMPARE(shownCentre(lamp), Lime);
        QVERIFY(lamp.blinkTimer());
        QCOMPARE(lamp.blinkTimer()->interval(), 1000);
        QVERIFY(lamp.blinkTimer()->isActive());

        // A new period reaches the running timer at once.
        QList<QRgb> seen;
        connect(&lamp, &ThhALed::OnTimer, &lamp, [&] { seen << shownCentre(lamp); });
        lamp.setInterval(20);
        QCOMPARE(lamp.blinkTimer()->interval(), 20);
        QTRY_VERIFY_WITH_TIMEOUT(seen.size() >= 4, 5000);
        QCOMPARE(seen.mid(0, 4), (QList<QRgb>{Silver, Lime, Silver, Lime}));

        lamp.setValue(false);
        QVERIFY(!lamp.isBlinking());
        QVERIFY(!lamp.showingOnFace());
        QCOMPARE(shownCentre(lamp), Silver);
    }

    void steadyLampNeverCreatesTimer()
    {
        ThhALed lamp;
        lamp.setBlink(false);
        for (int i = 0; i < 3; ++i) {
            lamp.setValue(true);
            QVERIFY(lamp.showingOnFace());
            lamp.setValue(false);
            QVERIFY(!lamp.showingOnFace());
        }
        lamp.setValue(true);
        lamp.setTrueColor(Qt::yellow);
        lamp.setInterval(50);
        QVERIFY(lamp.findChildren<QTimer *>().isEmpty());
        QCOMPARE(shownCentre(lamp), qRgb(255, 255, 0));

        // Blink switched on while on starts blinking; off again leaves the steady on face.
        lamp.setBlink(true);
        QVERIFY(lamp.isBlinking());
        QTRY_VERIFY_WITH_TIMEOUT(!lamp.showingOnFace(), 5000);
        lamp.setBlink(false);
        QVERIFY(!lamp.isBlinking());
        QVERIFY(lamp.showingOnFace());
    }

    void valueTwiceStartsOneTimer()
    {
        ThhALed lamp;
        lamp.setInterval(20);
        lamp.setValue(true);
        QTimer *timer = lamp.blinkTimer();
        QTRY_VERIFY_WITH_TIMEOUT(!lamp.showingOnFace(), 5000);
        lamp.setValue(true);
        QCOMPARE(lamp.blinkTimer(), timer);
        QCOMPARE(lamp.findChildren<QTimer *>().size(), 1);
        QVERIFY(!lamp.showingOnFace()); // the blink keeps its phase
    }

    void colourChangeRestartsBlinkFromOnFace()
    {
        ThhALed lamp;
        lamp.setInterval(20);
        lamp.setValue(true);
        QTRY_VERIFY_WITH_TIMEOUT(!lamp.showingOnFace(), 5000);

        lamp.setTrueColor(Qt::red);
        QVERIFY(lamp.showingOnFace());
        QCOMPARE(shownCentre(lamp), Red);
        QVERIFY(lamp.isBlinking());
        QSignalSpy ticks(&lamp, &ThhALed::OnTimer);
        QVERIFY(ticks.wait(5000));
        QCOMPARE(shownCentre(lamp), Silver);
    }

    void surroundFollowsBorder()
    {
        ThhALed plain;
        plain.setLEDStyle(ThhALed::LEDLarge);
        plain.setBordered(false);
        const QRgb window = plain.palette().color(QPalette::Window).rgb();
        for (const QImage &face : {plain.onFace(), plain.offFace()}) {
            QCOMPARE(face.pixel(0, 0), window);
            QCOMPARE(face.pixel(21, 21), window);
        }
        // No silver is left anywhere round the face.
        QVERIFY(!contains(plain.onFace(), Silver));

        ThhALed framed;
        framed.setLEDStyle(ThhALed::LEDLarge);
        framed.setBorderColor(Qt::blue);
        QCOMPARE(framed.onFace().pixel(0, 0), Silver);
        QCOMPARE(framed.offFace().pixel(21, 21), Silver);
        QVERIFY(!contains(framed.onFace(), QColor(Qt::blue).rgb()));
    }

    void steadyRedLampAsDrawn()
    {
        ThhALed alarm;
        alarm.setLEDStyle(ThhALed::LEDSqLarge);
        alarm.setBlink(false);
        alarm.setBordered(false);
        alarm.setTrueColor(Qt::red);
        alarm.setValue(true);
        QCOMPARE(alarm.grab().toImage().pixel(11, 11), Red);
        alarm.setValue(false);
        QCOMPARE(alarm.grab().toImage().pixel(11, 11), Silver);
        QVERIFY(!alarm.isBlinking());
    }

    void intervalOfZeroHoldsTheFace()
    {
        ThhALed lamp;
        lamp.setInterval(0);
        lamp.setValue(true);
        QVERIFY(lamp.isBlinking());
        QVERIFY(!lamp.blinkTimer()->isActive());
        QVERIFY(lamp.showingOnFace());
        lamp.setInterval(20);
        QVERIFY(lamp.blinkTimer()->isActive());
        QSignalSpy ticks(&lamp, &ThhALed::OnTimer);
        QVERIFY(ticks.wait(5000));
    }

    void switchedOffFromItsOwnTick()
    {
        ThhALed lamp;
        lamp.setInterval(20);
        connect(&lamp, &ThhALed::OnTimer, &lamp, [&] { lamp.setValue(false); });
        lamp.setValue(true);
        QSignalSpy ticks(&lamp, &ThhALed::OnTimer);
        QVERIFY(ticks.wait(5000));
        QVERIFY(!lamp.isBlinking());
        QVERIFY(!lamp.showingOnFace());
        QTRY_VERIFY_WITH_TIMEOUT(lamp.findChildren<QTimer *>().isEmpty(), 5000);
    }

    void clickNeedsReleaseOnTheLamp()
    {
        ThhALed lamp;
        QSignalSpy clicks(&lamp, &ThhALed::clicked);
        QTest::mouseClick(&lamp, Qt::LeftButton, {}, QPoint(8, 8));
        QCOMPARE(clicks.size(), 1);
        QTest::mousePress(&lamp, Qt::LeftButton, {}, QPoint(8, 8));
        QTest::mouseRelease(&lamp, Qt::LeftButton, {}, QPoint(40, 8));
        QCOMPARE(clicks.size(), 1);
    }

    void buttonCaptionColours()
    {
        GradRoundBtn round(QStringLiteral("On Line"));
        GradBtn bar(QStringLiteral("Select the SERVO ID"));
        Hemibtn hemi(QStringLiteral("Close"));
        for (GradientButton *b : std::initializer_list<GradientButton *>{&round, &bar, &hemi}) {
            b->resize(160, 28);
            b->setEnabled(true);
            QCOMPARE(b->captionColor(), QColor(Qt::black));
            QVERIFY(contains(b->grab().toImage(), qRgb(0, 0, 0)));

            b->setEnabled(false);
            QCOMPARE(b->captionColor(), QColor(192, 192, 192));
            const QImage disabled = b->grab().toImage();
            QVERIFY(contains(disabled, Silver));
            QVERIFY(!contains(disabled, qRgb(0, 0, 0)));

            b->setCaptionColor(Qt::blue);
            QVERIFY(contains(b->grab().toImage(), qRgb(0, 0, 255)));
            b->resetCaptionColor();
            b->setEnabled(true);
            QCOMPARE(b->captionColor(), QColor(Qt::black));
        }
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
