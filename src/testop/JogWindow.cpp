#include "testop/JogWindow.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QShortcut>
#include <QStyle>

#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/Catalogue.h"
#include "params/DisplayRules.h"
#include "params/ParamTransactions.h"
#include "params/ValueCodec.h"
#include "widgets/Placement.h"
#include "widgets/TextBoxes.h"

namespace velmora {

namespace {

constexpr int kMargin = 10;
constexpr int kRowHeight = 24;
constexpr int kIdWidth = 60, kNameWidth = 150, kValueWidth = 80, kEditWidth = 90, kSetWidth = 50;
constexpr int kGap = 3;
constexpr int kClientWidth = 2 * kMargin + kIdWidth + kNameWidth + kValueWidth + kEditWidth + kSetWidth + 4 * kGap;
constexpr int kDirectionWidth = 190, kDirectionHeight = 110;
constexpr int kEstopSize = 86;

} // namespace

// ---- direction button ----

JogDirectionButton::JogDirectionButton(const QString &caption, QWidget *parent)
    : GradRoundBtn(caption, parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCaptionColor(QColor::fromRgba(CaptionGreen));
    QFont f = font();
    f.setPointSize(f.pointSize() * 2);
    f.setBold(true);
    setFont(f);
    setRunning(false);
}

void JogDirectionButton::setRunning(bool running)
{
    running_ = running;
    const QColor face = QColor::fromRgba(running ? RunningFace : IdleFace);
    setStartColor(face);
    setEndColor(face);
}

void JogDirectionButton::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    // A second mouse button while one is held changes nothing: the motor already runs. A
    // press with no other button down is a new press, even if the last release never
    // arrived (it went to a message box): no press may be dead.
    if (held_ && event->buttons() != event->button())
        return;
    held_ = true;
    emit mouseDown();
}

void JogDirectionButton::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->buttons() == Qt::NoButton)
        letGo();
}

void JogDirectionButton::releaseIfLetGo()
{
    if (held_ && QGuiApplication::mouseButtons() == Qt::NoButton)
        letGo();
}

void JogDirectionButton::letGo()
{
    if (!held_)
        return;
    held_ = false;
    emit mouseUp();
}

void JogDirectionButton::hideEvent(QHideEvent *event)
{
    // A hidden or disabled button gets no release; the next press must count again.
    held_ = false;
    GradRoundBtn::hideEvent(event);
}

void JogDirectionButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        held_ = false;
    GradRoundBtn::changeEvent(event);
}

// ---- jog-speed read ----

TThread_JOG_READ::TThread_JOG_READ(TForm_JOG &form) : s_(form.session()), form_(form) {}

ReplyOutcome TThread_JOG_READ::run()
{
    const TParamDef &def = JogDefs[0];
    const ExchangeResult r = ReadRegisters(s_, def.Address, 1);
    // Only the drive's answer is shown.
    if (!r.good())
        return r.outcome;
    const QString text = FormatParamValue(r.value(1), def.Decimals);
    s_.runOnUi([this, &text] { form_.showJogSpeed(text); });
    return r.outcome;
}

// ---- window ----

TForm_JOG::TForm_JOG(DriveSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      s_(session)
{
    setObjectName(QStringLiteral("TForm_JOG"));
    setWindowTitle(QStringLiteral("JOG MODE"));

    // Column heads and the jog-speed row.
    const int widths[] = {kIdWidth, kNameWidth, kValueWidth, kEditWidth};
    const char *heads[][2] = {{"Label2", "Menu"}, {"Label3", "Name"}, {"Label6", "Value"}, {"Label1", "Edit"}};
    int x = kMargin;
    for (int i = 0; i < 4; ++i) {
        auto *head = new QLabel(QLatin1String(heads[i][1]), this);
        head->setObjectName(QLatin1String(heads[i][0]));
        head->setAlignment(Qt::AlignCenter);
        head->setGeometry(x, kMargin, widths[i], 20);
        x += widths[i] + kGap;
    }
    int y = kMargin + 24;
    x = kMargin;
    QLabel *item = SunkenText(this, QStringLiteral("JOG-02"), QRect(x, y, kIdWidth, kRowHeight));
    item->setObjectName(QStringLiteral("StaticText1"));
    x += kIdWidth + kGap;
    QLabel *name = SunkenText(this, QStringLiteral("Key Jog Speed[RPM]"), QRect(x, y, kNameWidth, kRowHeight));
    name->setObjectName(QStringLiteral("StaticText2"));
    name->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    name->setIndent(4);
    x += kNameWidth + kGap;
    speed_ = SunkenText(this, QString(), QRect(x, y, kValueWidth, kRowHeight));
    speed_->setObjectName(QStringLiteral("STextJOG_01"));
    x += kValueWidth + kGap;
    speedEdit_ = new QLineEdit(this);
    speedEdit_->setObjectName(QStringLiteral("EditJOG_01"));
    speedEdit_->setGeometry(x, y, kEditWidth, kRowHeight);
    x += kEditWidth + kGap;
    auto *set = new GradRoundBtn(QStringLiteral("Set"), this);
    set->setObjectName(QStringLiteral("btnJOG_01"));
    set->setGeometry(x, y, kSetWidth, kRowHeight);
    connect(set, &QPushButton::clicked, this, &TForm_JOG::btnJOG_01Click);

    // The warning.
    y += kRowHeight + 12;
    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    image->setGeometry(kMargin, y, 32, 32);
    auto *warning = new QLabel(QStringLiteral("Check safety before JOG ON !!!"), this);
    warning->setObjectName(QStringLiteral("lbl_warning01"));
    QFont bold = warning->font();
    bold.setBold(true);
    warning->setFont(bold);
    QPalette red = warning->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    warning->setPalette(red);
    warning->setGeometry(kMargin + 40, y, kClientWidth - 2 * kMargin - 40, 32);

    // Jog mode on and off, and the emergency stop beside them.
    y += 32 + 10;
    auto *mode = new QGroupBox(QStringLiteral("JOG MODE ON/OFF"), this);
    mode->setObjectName(QStringLiteral("GroupBox2"));
    const int modeWidth = kClientWidth - 2 * kMargin - kEstopSize - 20;
    mode->setGeometry(kMargin, y, modeWidth, kEstopSize);
    auto *jogOn = new GradRoundBtn(QStringLiteral("JOG ON"), mode);
    jogOn->setObjectName(QStringLiteral("BtnJogOn"));
    const int modeButton = (modeWidth - 3 * 12) / 2;
    jogOn->setGeometry(12, 30, modeButton, 40);
    connect(jogOn, &QPushButton::clicked, this, &TForm_JOG::BtnJogOnClick);
    jogOff_ = new GradRoundBtn(QStringLiteral("JOG OFF"), mode);
    jogOff_->setObjectName(QStringLiteral("BtnJogOff"));
    jogOff_->setGeometry(24 + modeButton, 30, modeButton, 40);
    connect(jogOff_, &QPushButton::clicked, this, &TForm_JOG::BtnJogOffClick);
    auto *estop = MakeEstopButton(this);
    estop->setGeometry(kClientWidth - kMargin - kEstopSize - 4, y, kEstopSize, kEstopSize);
    connect(estop, &QPushButton::clicked, this, &TForm_JOG::BTN_ESTOPClick);

    // Direction buttons under their labels.
    y += kEstopSize + 10;
    auto *direction = new QGroupBox(QStringLiteral("Direction Select / RUN"), this);
    direction->setObjectName(QStringLiteral("GroupBox1"));
    const int directionBoxWidth = kClientWidth - 2 * kMargin;
    direction->setGeometry(kMargin, y, directionBoxWidth, kDirectionHeight + 64);
    const int side = (directionBoxWidth - 2 * kDirectionWidth) / 3;
    reverse_ = new JogDirectionButton(QStringLiteral("CCW"), direction);
    reverse_->setObjectName(QStringLiteral("BtnJog_Reverse"));
    forward_ = new JogDirectionButton(QStringLiteral("CW"), direction);
    forward_->setObjectName(QStringLiteral("BtnJog_Forward1"));
    int bx = side;
    for (JogDirectionButton *b : {reverse_, forward_}) {
        auto *label = new QLabel(b->text(), direction);
        label->setAlignment(Qt::AlignCenter);
        label->setFont(bold);
        label->setGeometry(bx, 24, kDirectionWidth, 20);
        b->setGeometry(bx, 46, kDirectionWidth, kDirectionHeight);
        bx += kDirectionWidth + side;
    }
    connect(reverse_, &JogDirectionButton::mouseDown, this, &TForm_JOG::BtnJog_ReverseMouseDown);
    connect(reverse_, &JogDirectionButton::mouseUp, this, &TForm_JOG::BtnJog_ReverseMouseUp);
    connect(forward_, &JogDirectionButton::mouseDown, this, &TForm_JOG::BtnJog_Forward1MouseDown);
    connect(forward_, &JogDirectionButton::mouseUp, this, &TForm_JOG::BtnJog_Forward1MouseUp);
    showDirectionButtons(false);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &TForm_JOG::escapeStop);
    connect(&s_, &DriveSession::linkWentDown, this, &TForm_JOG::onLinkDown);

    // Read Again and Close.
    y += kDirectionHeight + 64 + 10;
    auto *reflash = new GradRoundBtn(QStringLiteral("Read Again"), this);
    reflash->setObjectName(QStringLiteral("btnReflash"));
    reflash->setGeometry(kClientWidth - 2 * (100 + kMargin), y, 100, 32);
    connect(reflash, &QPushButton::clicked, this, &TForm_JOG::btnReflashClick);
    close_ = new GradRoundBtn(QStringLiteral("Close"), this);
    close_->setObjectName(QStringLiteral("btnClose"));
    close_->setGeometry(kClientWidth - (100 + kMargin), y, 100, 32);
    connect(close_, &QPushButton::clicked, this, &TForm_JOG::btnCloseClick);

    setFixedSize(kClientWidth, y + 32 + kMargin);
    CentreOnScreen(this);
}

TForm_JOG::~TForm_JOG() = default;

void TForm_JOG::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    // The station number of this moment goes into every jog frame for the window's life.
    const Command commands[FrameCount] = {Command::JogOn, Command::JogOff, Command::JogClockwise,
                                          Command::JogCounterClockwise, Command::JogStop};
    for (int f = 0; f < FrameCount; ++f)
        frames_[size_t(f)] = BuildCommandFrame(commands[f], s_.station());
    guard_.run([this] { TThread_JOG_READ(*this).run(); });
    showDirectionButtons(false);
}

void TForm_JOG::closeEvent(QCloseEvent *event)
{
    if (closing_) { // a close asked for while the closing stop waits
        event->ignore();
        return;
    }
    if (guard_.holdBack(event))
        return;
    // A motor the window may have started is stopped before the window goes. If the drive
    // does not take the stop, the window stays, with its E-STOP.
    if (motorMayRun() && !s_.isLinkDown()) {
        closing_ = true;
        StopResult result = StopResult::Stopped;
        guard_.run([this, &result] { result = sendStops(); });
        closing_ = false;
        if (result == StopResult::Refused || result == StopResult::NoAnswer) {
            reportStopFailure(result);
            event->ignore();
            return;
        }
    }
    // Nothing else is sent: the drive stays in jog mode if it was.
    jogPageOpen_ = false;
    s_.discardAll();
    QWidget::closeEvent(event);
}

void TForm_JOG::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Hidden (minimised) while the motor may turn: it is stopped as for a close.
    if (!closing_ && jogPageOpen_ && motorMayRun() && !s_.isLinkDown() && !guard_.busy()) {
        closing_ = true;
        StopResult result = StopResult::Stopped;
        guard_.run([this, &result] { result = sendStops(); });
        closing_ = false;
        if (result != StopResult::Stopped)
            reportStopFailure(result);
    }
}

bool TForm_JOG::motorMayRun() const
{
    return runSent_ || reverse_->held() || forward_->held() || reverse_->running() || forward_->running();
}

QString TForm_JOG::stopRefusedText()
{
    return QString::fromLatin1(texts::StopRefused);
}

QString TForm_JOG::motorStateUnknownText()
{
    return QString::fromLatin1(texts::MotorStateUnknown);
}

void TForm_JOG::onLinkDown()
{
    const bool mayRun = motorMayRun() || jogModeMayBeOn_;
    showJogOff();
    if (mayRun)
        s_.reportLinkFault(motorStateUnknownText());
}

void TForm_JOG::showJogOff()
{
    runSent_ = false;
    jogModeMayBeOn_ = false;
    showDirectionButtons(false);
    reverse_->setRunning(false);
    forward_->setRunning(false);
    jogOff_->setEnabled(true);
    close_->setEnabled(true);
}

void TForm_JOG::showJogSpeed(const QString &text)
{
    if (jogPageOpen_)
        speed_->setText(text);
}

ExchangeResult TForm_JOG::sendAndWait(Frame frame)
{
    const CommandFrame &bytes = frames_[size_t(frame)];
    downBeforeSend_ = s_.isLinkDown();
    return s_.exchange(QByteArray(reinterpret_cast<const char *>(bytes.data()), kCommandFrameLength));
}

void TForm_JOG::refused(const ExchangeResult &result)
{
    if (result.outcome == ReplyOutcome::LinkDown) {
        // Gone during the exchange, the window has said so; gone before, the press could
        // not be sent at all.
        if (downBeforeSend_)
            s_.showMessage(motorStateUnknownText());
        return;
    }
    s_.showMessage(QString::fromLatin1(texts::InstructionFail));
    s_.discardAll();
}

TForm_JOG::StopResult TForm_JOG::sendStops()
{
    bool refusedOnce = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Either acknowledgement will do.
        const ExchangeResult first = sendAndWait(Stop);
        const ExchangeResult second = sendAndWait(Stop);
        if (first.good() || second.good()) {
            stopped();
            return StopResult::Stopped;
        }
        if (first.outcome == ReplyOutcome::LinkDown || second.outcome == ReplyOutcome::LinkDown)
            return StopResult::LinkDown;
        refusedOnce = first.outcome == ReplyOutcome::Rejected || second.outcome == ReplyOutcome::Rejected;
        // A refusal is sent once more; silence is not: the user is told at once.
        if (!refusedOnce)
            break;
    }
    return refusedOnce ? StopResult::Refused : StopResult::NoAnswer;
}

void TForm_JOG::stopped()
{
    runSent_ = false;
    jogOff_->setEnabled(true);
    reverse_->setRunning(false);
    forward_->setRunning(false);
}

void TForm_JOG::reportStopFailure(StopResult result)
{
    switch (result) {
    case StopResult::Stopped:
    case StopResult::LinkDown: // the window has said the motor's state is unknown
        return;
    case StopResult::Refused:
        s_.showMessage(stopRefusedText());
        return;
    case StopResult::NoAnswer:
        s_.showMessage(QString::fromLatin1(texts::InstructionFail));
        s_.discardAll();
        return;
    }
}

void TForm_JOG::escapeStop()
{
    guard_.run([this] {
        const StopResult result = sendStops();
        reportStopFailure(result);
    });
}

void TForm_JOG::showDirectionButtons(bool show)
{
    for (JogDirectionButton *b : {reverse_, forward_}) {
        b->setEnabled(show);
        b->setVisible(show);
    }
}

void TForm_JOG::btnReflashClick()
{
    guard_.run([this] {
        speed_->clear();
        TThread_JOG_READ(*this).run();
    });
}

void TForm_JOG::btnJOG_01Click()
{
    guard_.run([this] {
        const TParamDef &def = JogDefs[0];
        WriteWord word;
        if (!Change_Float2HEX(speedEdit_->text(), def, word)) {
            s_.showMessage(QString::fromLatin1(texts::WrongParameter));
            return;
        }
        // Whatever became of the write, the read shows what the drive holds now; without
        // its answer the box says nothing rather than an old speed.
        WriteOneExchange(s_, def, word);
        if (TThread_JOG_READ(*this).run() != ReplyOutcome::Good)
            ShowValueUnconfirmed(s_, def, [this](const QString &text) { showJogSpeed(text); });
    });
}

void TForm_JOG::BtnJogOnClick()
{
    guard_.run([this] {
        jogModeMayBeOn_ = true;
        const ExchangeResult on = sendAndWait(On);
        if (!on) {
            refused(on);
            return;
        }
        showDirectionButtons(true);
        close_->setEnabled(false);
    });
}

void TForm_JOG::BtnJogOffClick()
{
    guard_.run([this] {
        const ExchangeResult off = sendAndWait(Off);
        if (!off) {
            refused(off);
            return;
        }
        // Jog mode is off, so nothing runs: whatever a refused stop left behind is undone.
        showJogOff();
    });
}

void TForm_JOG::BTN_ESTOPClick()
{
    BtnJogOffClick();
}

void TForm_JOG::directionDown(JogDirectionButton *button, Frame run)
{
    guard_.run([&] {
        runSent_ = true;
        const ExchangeResult started = sendAndWait(run);
        if (started) {
            jogOff_->setEnabled(false);
            button->setRunning(true);
            return;
        }
        if (started.outcome == ReplyOutcome::LinkDown)
            return;
        // Unacknowledged is not the same as not done: the drive may have taken the run
        // frame and lost only its reply. It is told to stop at once, not once the user has
        // dismissed the message and let go of the button.
        const StopResult stop = sendStops();
        if (stop == StopResult::Stopped || stop == StopResult::NoAnswer)
            refused(started);
        else
            reportStopFailure(stop);
        button->releaseIfLetGo();
    });
}

void TForm_JOG::directionUp(JogDirectionButton *button)
{
    guard_.run([&] {
        const StopResult result = sendStops();
        if (result == StopResult::Stopped)
            button->setRunning(false);
        else
            reportStopFailure(result);
    });
}

void TForm_JOG::BtnJog_ReverseMouseDown() { directionDown(reverse_, CounterClockwise); }
void TForm_JOG::BtnJog_ReverseMouseUp() { directionUp(reverse_); }
void TForm_JOG::BtnJog_Forward1MouseDown() { directionDown(forward_, Clockwise); }
void TForm_JOG::BtnJog_Forward1MouseUp() { directionUp(forward_); }

void TForm_JOG::btnCloseClick()
{
    close();
}

} // namespace velmora
