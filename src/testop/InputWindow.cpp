#include "testop/InputWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

#include "link/Texts.h"
#include "link/Transactions.h"
#include "monitor/StatusPoller.h"
#include "params/Catalogue.h"
#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"

namespace velmora {

namespace {

struct PinNames {
    const char *component; // suffix of SW_ / Shape_
    const char *label;     // default label
};
constexpr std::array<PinNames, kInputPinCount> kPins{{
    {"SVONEN", "SVONEN"}, {"SPD1", "SPD1"}, {"SPD2", "SPD2"}, {"SPD3", "SPD3"},
    {"DIR", "DIR"},       {"PPI", "P/PI"},  {"CCWLIM", "CCWLIM"}, {"CWLIM", "CWLIM"},
    {"TLIM", "TLIM"},     {"ESTOP", "ESTOP"}, {"STOP", "STOP"}, {"ALMRST", "ALMRST"},
}};
constexpr int kEstopFunction = 16;
constexpr int kPinsPerRow = 6;

} // namespace

// The pin's state in the panel: lime on, grey off. Its colour is the panel's only store of
// the pattern.
class InputIndicator : public QWidget {
public:
    static constexpr QRgb On = 0xFF00FF00;  // lime
    static constexpr QRgb Off = 0xFF808080; // grey

    explicit InputIndicator(QWidget *parent) : QWidget(parent) { setFixedSize(22, 22); }
    QColor colour() const { return colour_; }
    void setColour(QRgb c)
    {
        colour_ = QColor::fromRgb(c);
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), colour_);
        p.setPen(Qt::black);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    QColor colour_ = QColor::fromRgb(Off);
};

// A slide switch that shows its pin's state: knob right on a lime track when on.
class InputSwitch : public QAbstractButton {
public:
    explicit InputSwitch(QWidget *parent) : QAbstractButton(parent)
    {
        setFixedSize(44, 22);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::StrongFocus);
    }
    void setOn(bool on)
    {
        on_ = on;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF track = QRectF(rect()).adjusted(1, 3, -1, -3);
        p.setPen(QColor(90, 90, 90));
        p.setBrush(on_ ? QColor(60, 200, 60) : QColor(170, 170, 170));
        p.drawRoundedRect(track, track.height() / 2, track.height() / 2);
        const qreal d = height() - 2;
        const QRectF knob(on_ ? width() - d - 1 : 1, 1, d, d);
        p.setBrush(isDown() ? QColor(220, 220, 220) : Qt::white);
        p.drawEllipse(knob);
        if (hasFocus()) {
            p.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(track.adjusted(-1, -2, 1, 2), track.height() / 2, track.height() / 2);
        }
    }

private:
    bool on_ = false;
};

TForm_Input_IO::TForm_Input_IO(DriveSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      s_(session)
{
    setObjectName(QStringLiteral("TForm_Input_IO"));
    setWindowTitle(QStringLiteral("Input Status Control Panel"));

    auto *banner = new GradBtn(QStringLiteral("Input Control"), this);
    banner->setObjectName(QStringLiteral("GradBtn1"));
    banner->setEnabled(false);
    // A heading, not a button: readable though it takes no clicks.
    banner->setCaptionColor(QColor::fromRgba(GradientButton::EnabledCaption));
    banner->setMinimumHeight(30);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(4);
    for (int pin = 0; pin < kInputPinCount; ++pin) {
        const QString suffix = QLatin1String(kPins[size_t(pin)].component);
        auto *label = new QLabel(QLatin1String(kPins[size_t(pin)].label), this);
        label->setObjectName(QStringLiteral("Lbl_Input_%1").arg(pin + 1, 2, 10, QLatin1Char('0')));
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(64);
        auto *indicator = new InputIndicator(this);
        indicator->setObjectName(QStringLiteral("Shape_") + suffix);
        auto *sw = new InputSwitch(this);
        sw->setObjectName(QStringLiteral("SW_") + suffix);
        connect(sw, &QAbstractButton::clicked, this, [this, pin] { switchClicked(pin); });
        // Two rows of six, an empty grid row between them.
        const int row = (pin / kPinsPerRow) * 4, column = pin % kPinsPerRow;
        grid->addWidget(label, row, column, Qt::AlignCenter);
        grid->addWidget(indicator, row + 1, column, Qt::AlignCenter);
        grid->addWidget(sw, row + 2, column, Qt::AlignCenter);
        labels_[size_t(pin)] = label;
        indicators_[size_t(pin)] = indicator;
        switches_[size_t(pin)] = sw;
    }
    grid->setRowMinimumHeight(3, 14);

    auto *estop = MakeEstopButton(this);
    estop->setFixedSize(84, 84);
    connect(estop, &QPushButton::clicked, this, &TForm_Input_IO::ACTION_ESTOPExecute);
    auto *write = new GradRoundBtn(QStringLiteral("Reset"), this);
    write->setObjectName(QStringLiteral("btn_IOWrite"));
    write->setMinimumSize(90, 32);
    connect(write, &QPushButton::clicked, this, &TForm_Input_IO::btn_IOWriteClick);
    auto *close = new GradRoundBtn(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("GradRoundBtn2"));
    close->setMinimumSize(90, 32);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *action = new QAction(QStringLiteral("ESTOP"), this);
    action->setObjectName(QStringLiteral("ACTION_ESTOP"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, &TForm_Input_IO::ACTION_ESTOPExecute);
    addAction(action);

    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("lblInputState"));
    QPalette warn = state_->palette();
    warn.setColor(QPalette::WindowText, QColor(0xB0, 0x60, 0x00));
    state_->setPalette(warn);
    QFont boldState = state_->font();
    boldState.setBold(true);
    state_->setFont(boldState);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(estop);
    buttons->addWidget(state_, 1, Qt::AlignCenter);
    buttons->addWidget(write, 0, Qt::AlignBottom);
    buttons->addWidget(close, 0, Qt::AlignBottom);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(banner);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The labels follow the assignments unless P7-01 is "None".
    const auto &func = s_.link.InFunc;
    if (func[0] != 0) {
        for (int pin = 0; pin < kInputPinCount; ++pin)
            labels_[size_t(pin)]->setText(InputFunctionLabel(func[size_t(pin)]));
    }
    TThread_IO_Show(s_, *this).run();
    for (int pin = 0; pin < kInputPinCount; ++pin) {
        if (func[size_t(pin)] == kEstopFunction)
            estopPin_ = pin + 1;
    }
    CentreOnScreen(this);
}

bool TForm_Input_IO::inputOn(int pin) const
{
    return indicators_.at(size_t(pin))->colour().rgb() == InputIndicator::On;
}

void TForm_Input_IO::setInputOn(int pin, bool on)
{
    indicators_.at(size_t(pin))->setColour(on ? InputIndicator::On : InputIndicator::Off);
    switches_.at(size_t(pin))->setOn(on);
}

uint16_t TForm_Input_IO::inputControlWord() const
{
    uint16_t word = 0;
    for (int pin = 0; pin < kInputPinCount; ++pin) {
        if (!inputOn(pin))
            word |= uint16_t(1u << pin);
    }
    return word;
}

void TForm_Input_IO::switchClicked(int pin)
{
    const uint16_t before = inputControlWord();
    setInputOn(pin, !inputOn(pin));
    sendPattern(before);
}

void TForm_Input_IO::ACTION_ESTOPExecute()
{
    const uint16_t before = inputControlWord();
    if (estopPin_ > 0) {
        setInputOn(estopPin_ - 1, false);
    } else {
        for (int pin = 0; pin < kInputPinCount; ++pin)
            setInputOn(pin, false);
    }
    sendPattern(before);
}

void TForm_Input_IO::btn_IOWriteClick()
{
    sendPattern(inputControlWord());
}

void TForm_Input_IO::sendPattern(uint16_t before)
{
    const bool wasDown = s_.isLinkDown();
    const ReplyOutcome o = TThread_IO_SAVE(s_, inputControlWord()).run();
    if (o == ReplyOutcome::Good) {
        showStateUnknown(false);
        return;
    }
    // Not confirmed: the panel shows what the drive last confirmed, never the pattern asked for.
    for (int pin = 0; pin < kInputPinCount; ++pin)
        setInputOn(pin, (before & (1u << pin)) == 0);
    if (o == ReplyOutcome::Rejected) {
        // Refused, the write did not happen: the drive holds what it held.
        s_.showMessage(QString::fromLatin1(texts::InstructionFail));
        return;
    }
    // Without a good reply it may have happened or not.
    showStateUnknown(true);
    if (o != ReplyOutcome::LinkDown || wasDown)
        s_.showMessage(QString::fromLatin1(texts::InputsUnconfirmed));
}

void TForm_Input_IO::showStateUnknown(bool unknown)
{
    unknown_ = unknown;
    state_->setText(unknown ? QString::fromLatin1(texts::InputsUnknown) : QString());
}

void TThread_IO_Show::run()
{
    s_.runOnUi([this] {
        for (int pin = 0; pin < kInputPinCount; ++pin)
            panel_.setInputOn(pin, s_.reply.InBits[size_t(pin)] == 1);
    });
}

ReplyOutcome TThread_IO_SAVE::run()
{
    return WriteInputControl(s_, word_).outcome;
}

} // namespace velmora
