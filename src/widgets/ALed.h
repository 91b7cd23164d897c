#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

class QTimer;

namespace velmora {

// A lamp showing one on/off state: round, square or oblong, optionally blinking while on.
// Its two faces are built from a template picture (lime face, silver surround) recoloured by
// flood fill, so the on, off and surround colours can be anything.
class ThhALed : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor TrueColor READ trueColor WRITE setTrueColor)
    Q_PROPERTY(QColor FalseColor READ falseColor WRITE setFalseColor)
    Q_PROPERTY(QColor BorderColor READ borderColor WRITE setBorderColor)
    Q_PROPERTY(bool Blink READ blink WRITE setBlink)
    Q_PROPERTY(bool Bordered READ bordered WRITE setBordered)
    Q_PROPERTY(bool Value READ value WRITE setValue)
    Q_PROPERTY(int Interval READ interval WRITE setInterval)
    Q_PROPERTY(TLEDStyle LEDStyle READ ledStyle WRITE setLEDStyle)

public:
    enum TLEDStyle { LEDSmall, LEDLarge, LEDSqSmall, LEDSqLarge, LEDVertical, LEDHorizontal };
    Q_ENUM(TLEDStyle)

    // Template colours: the face and the area round it.
    static constexpr QRgb TemplateFace = 0xFF00FF00;     // lime
    static constexpr QRgb TemplateSurround = 0xFFC0C0C0; // silver

    explicit ThhALed(QWidget *parent = nullptr);
    ~ThhALed() override;

    QColor trueColor() const { return trueColor_; }
    QColor falseColor() const { return falseColor_; }
    QColor borderColor() const { return borderColor_; }
    bool blink() const { return blink_; }
    bool bordered() const { return bordered_; }
    bool value() const { return value_; }
    int interval() const { return interval_; }
    TLEDStyle ledStyle() const { return style_; }

    void setTrueColor(const QColor &c);
    void setFalseColor(const QColor &c);
    void setBorderColor(const QColor &c);
    void setBlink(bool on);
    void setBordered(bool on);
    void setValue(bool on);
    void setInterval(int ms);
    void setLEDStyle(TLEDStyle style);

    // Present only while blinking.
    QTimer *blinkTimer() const { return timer_; }
    bool isBlinking() const { return timer_ != nullptr; }

    bool showingOnFace() const { return showingOn_; }
    QImage currentFace() const { return showingOn_ ? onFace_ : offFace_; }
    QImage onFace() const { return onFace_; }
    QImage offFace() const { return offFace_; }

    static QSize styleSize(TLEDStyle style);
    static QString templateName(TLEDStyle style, bool bordered);
    // The template picture by name ("BSM", "NLG", ...); a null image for an unknown name.
    static QImage faceTemplate(const QString &name);
    // Recolours the 4-connected region of the seed pixel's colour.
    static void floodFill(QImage &image, QPoint seed, const QColor &colour);

    QSize sizeHint() const override { return styleSize(style_); }

signals:
    void OnTimer();
    void OnMouseEnter();
    void OnMouseLeave();
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void buildFaces();
    void showFace(bool on);
    void startBlink();
    void stopBlink();
    void tick();
    void applyColour(QColor &slot, const QColor &c);
    void runTimer();

    QColor trueColor_{0, 255, 0};
    QColor falseColor_{192, 192, 192};
    QColor borderColor_;
    bool blink_ = true;
    bool bordered_ = true;
    bool value_ = false;
    int interval_ = 1000;
    TLEDStyle style_ = LEDSmall;

    QImage onFace_;
    QImage offFace_;
    bool showingOn_ = false;
    QTimer *timer_ = nullptr;
    bool pressed_ = false;
};

} // namespace velmora
