#pragma once

#include <QColor>
#include <QFrame>
#include <QPushButton>

namespace velmora {

// A push button painted as a vertical gradient. The caption is black while enabled and silver
// while disabled, unless a caption colour is set explicitly.
class GradientButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QColor CaptionColor READ captionColor WRITE setCaptionColor RESET resetCaptionColor)
    Q_PROPERTY(QColor StartColor READ startColor WRITE setStartColor)
    Q_PROPERTY(QColor EndColor READ endColor WRITE setEndColor)

public:
    enum class Shape { Rounded, Square, Hemisphere };

    static constexpr QRgb EnabledCaption = 0xFF000000;  // black
    static constexpr QRgb DisabledCaption = 0xFFC0C0C0; // silver

    // The colour the caption is drawn in now.
    QColor captionColor() const;
    // An invalid colour goes back to following the enabled state.
    void setCaptionColor(const QColor &c);
    void resetCaptionColor() { setCaptionColor(QColor()); }

    QColor startColor() const { return start_; }
    QColor endColor() const { return end_; }
    void setStartColor(const QColor &c);
    void setEndColor(const QColor &c);

    QSize sizeHint() const override;

protected:
    GradientButton(Shape shape, const QString &caption, QWidget *parent);
    void paintEvent(QPaintEvent *event) override;

private:
    Shape shape_;
    QColor caption_;
    QColor start_{252, 252, 252};
    QColor end_{196, 204, 216};
};

// Rounded gradient button: the ordinary button of every window.
class GradRoundBtn : public GradientButton {
    Q_OBJECT
public:
    explicit GradRoundBtn(const QString &caption = {}, QWidget *parent = nullptr)
        : GradientButton(Shape::Rounded, caption, parent) {}
};

// Square-cornered gradient button; disabled, it serves as a heading bar.
class GradBtn : public GradientButton {
    Q_OBJECT
public:
    explicit GradBtn(const QString &caption = {}, QWidget *parent = nullptr)
        : GradientButton(Shape::Square, caption, parent) {}
};

// Capsule-shaped button with a glossy upper half, like a dome.
class Hemibtn : public GradientButton {
    Q_OBJECT
public:
    explicit Hemibtn(const QString &caption = {}, QWidget *parent = nullptr)
        : GradientButton(Shape::Hemisphere, caption, parent) {}
};

// The round red "E-STOP" button of the windows that move the motor or force its inputs,
// named BTN_ESTOP.
Hemibtn *MakeEstopButton(QWidget *parent);

// A panel with a vertical gradient background and an optional caption.
class Gradpanl : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(Qt::Alignment Alignment READ alignment WRITE setAlignment)
    Q_PROPERTY(QColor StartColor READ startColor WRITE setStartColor)
    Q_PROPERTY(QColor EndColor READ endColor WRITE setEndColor)

public:
    explicit Gradpanl(const QString &caption = {}, QWidget *parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString &text);
    Qt::Alignment alignment() const { return align_; }
    void setAlignment(Qt::Alignment a);
    QColor startColor() const { return start_; }
    QColor endColor() const { return end_; }
    void setStartColor(const QColor &c);
    void setEndColor(const QColor &c);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString caption_;
    Qt::Alignment align_ = Qt::AlignCenter;
    QColor start_{250, 251, 253};
    QColor end_{210, 216, 226};
};

} // namespace velmora
