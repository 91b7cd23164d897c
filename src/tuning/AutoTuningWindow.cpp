#include "tuning/AutoTuningWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QShortcut>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "link/FrameCodec.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/DisplayRules.h"
#include "params/ParamTransactions.h"
#include "params/ValueCodec.h"
#include "params/Catalogue.h"
#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"
#include "widgets/TextBoxes.h"

namespace velmora {

namespace {

constexpr char kSelectMode[] = "Please select Mode1 or Mode2";

// Slots (AutoTuneDefs order) with a rule of their own.
constexpr int kAutoTuningSlot = 6; // P2-17
constexpr int kResponseSlot = 7;   // P2-18
constexpr int kInertiaSlot = 8;    // P2-19

// The rows of the jog pattern, in the order "Set" writes them. The edits start with the
// recommended pattern: forward, then reverse, and no third step.
struct JogRow {
    int slot;
    const char *caption;
    const char *initial;
    const char *hint; // UTF-8
};
constexpr std::array<JogRow, 5> kJogRows{{
    {0, "Jog Speed 1 [rpm]", "500", " ◁ '500' above"},
    {1, "Jog Time 1 / REV 1 [sec]/[rev]", "5", " ◁ '5' above"},
    {2, "Jog Speed 2 [rpm]", "-500", " ◁ '-500' below"},
    {3, "Jog Time 2 / REV 2 [sec]/[rev]", "5", " ◁ '5' above"},
    {5, "Jog Time 3 / REV 3 [sec]/[rev]", "0", ""},
}};

// The reading's requests: first slot and count of slots.
struct ReadRun {
    int first;
    int count;
};
constexpr std::array<ReadRun, 3> kReads{{{0, 6}, {6, 3}, {9, 1}}};

// One request per run only works while the run's registers follow one another.
constexpr bool readsAreConsecutive()
{
    for (const ReadRun &r : kReads) {
        for (int i = 1; i < r.count; ++i) {
            if (AutoTuneDefs[size_t(r.first + i)].Address != AutoTuneDefs[size_t(r.first)].Address + i)
                return false;
        }
    }
    return true;
}
static_assert(readsAreConsecutive());

QString displayName(int slot) { return QStringLiteral("STextATuning_%1").arg(slot + 1, 2, 10, QLatin1Char('0')); }

QGroupBox *panel(const char *caption, QWidget *parent)
{
    return new QGroupBox(QLatin1String(caption), parent);
}

GradRoundBtn *button(const char *caption, const char *name, QWidget *parent)
{
    auto *b = new GradRoundBtn(QLatin1String(caption), parent);
    b->setObjectName(QLatin1String(name));
    b->setMinimumSize(76, 30);
    return b;
}

QLabel *valueBox(QWidget *parent, int slot)
{
    QLabel *box = SunkenText(parent, QString(), {});
    box->setObjectName(displayName(slot));
    box->setMinimumSize(70, 24);
    return box;
}

QLabel *textLabel(QWidget *parent, const QString &caption)
{
    return new QLabel(caption, parent);
}

void setTextColour(QLabel *label, QRgb colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor::fromRgba(colour));
    label->setPalette(p);
}

} // namespace

// ---- reading ----

void TThread_AutoTune_READ::run()
{
    for (const ReadRun &r : kReads) {
        const TParamDef &first = AutoTuneDefs[size_t(r.first)];
        // Without a good reply the decoded values belong to some earlier exchange: the
        // displays of this request keep what they showed.
        const ExchangeResult read = ReadRegisters(s_, first.Address, uint16_t(r.count));
        if (!read.good())
            continue;
        QStringList texts;
        for (int i = 0; i < r.count; ++i)
            texts << FormatParamValue(read.value(i + 1), AutoTuneDefs[size_t(r.first + i)].Decimals);
        s_.runOnUi([this, &r, &texts] {
            for (int i = 0; i < r.count; ++i)
                window_.showSlot(r.first + i, texts[i]);
        });
    }
}

// ---- window ----

TForm_AutoTuning::TForm_AutoTuning(DriveSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window), s_(session)
{
    setObjectName(QStringLiteral("TForm_AutoTuning"));
    setWindowTitle(QStringLiteral("AutoTuning Mode"));

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("ScrollBox1"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    auto *content = new QWidget;
    scroll->setWidget(content);
    auto *grid = new QGridLayout(content);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);

    auto *heading = new QLabel(QStringLiteral("◈ AutoTuning Mode can find proper system inertia"), content);
    heading->setObjectName(QStringLiteral("lbl_Heading"));
    QFont large = heading->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * 1.25);
    heading->setFont(large);
    grid->addWidget(heading, 0, 0, 1, 2);

    // ---- left column: 1 and 2 ----
    auto *left = new QVBoxLayout;
    QGroupBox *modes = panel("1. Mode Select", content);
    auto *modeGrid = new QGridLayout(modes);
    modeGrid->addWidget(textLabel(modes, QStringLiteral("Mode")), 0, 0, 1, 2, Qt::AlignCenter);
    modeGrid->addWidget(textLabel(modes, QStringLiteral("Distance Limit")), 0, 2, Qt::AlignCenter);
    modeGrid->addWidget(textLabel(modes, QStringLiteral("Explanation")), 0, 3, Qt::AlignCenter);
    const char *modeRows[2][4] = {{"Rbtn_01", "Mode 1", "No", "Revolution Speed/Time"},
                                  {"Rbtn_02", "Mode 2", "Yes", "Revolution Speed/Count"}};
    QRadioButton *selectors[2];
    for (int m = 0; m < 2; ++m) {
        // Both in the same panel: checking one unchecks the other.
        selectors[m] = new QRadioButton(modes);
        selectors[m]->setObjectName(QLatin1String(modeRows[m][0]));
        modeGrid->addWidget(selectors[m], m + 1, 0, Qt::AlignRight);
        for (int c = 1; c < 4; ++c)
            modeGrid->addWidget(textLabel(modes, QLatin1String(modeRows[m][c])), m + 1, c, Qt::AlignCenter);
    }
    mode1_ = selectors[0];
    mode2_ = selectors[1];
    modeGrid->setColumnStretch(3, 1);
    left->addWidget(modes);

    QGroupBox *pattern = panel("2. Jog Speed Edit", content);
    auto *patternGrid = new QGridLayout(pattern);
    const char *hints[] = {"- Use two pattern(Forword/Reverse) as below.", "- Jog Time3 must set as '0'",
                           "- Just click 'Set' button, when use recommand value"};
    int line = 0;
    for (const char *hint : hints)
        patternGrid->addWidget(textLabel(pattern, QLatin1String(hint)), line++, 0, 1, 4);
    for (const JogRow &row : kJogRows) {
        patternGrid->addWidget(textLabel(pattern, QLatin1String(row.caption)), line, 0);
        QLabel *value = valueBox(pattern, row.slot);
        patternGrid->addWidget(value, line, 1);
        displays_[size_t(row.slot)] = value;
        auto *edit = new QLineEdit(QLatin1String(row.initial), pattern);
        edit->setObjectName(QStringLiteral("EditATuning_%1").arg(row.slot + 1, 2, 10, QLatin1Char('0')));
        edit->setFixedWidth(70);
        patternGrid->addWidget(edit, line, 2);
        edits_[size_t(row.slot)] = edit;
        patternGrid->addWidget(textLabel(pattern, QString::fromUtf8(row.hint)), line, 3);
        ++line;
    }
    auto *set = button("Set", "btnJogParaSet", pattern);
    connect(set, &QPushButton::clicked, this, &TForm_AutoTuning::btnJogParaSetClick);
    patternGrid->addWidget(set, line, 2, 1, 2, Qt::AlignLeft);
    patternGrid->setColumnStretch(3, 1);
    left->addWidget(pattern);
    left->addStretch();
    grid->addLayout(left, 1, 0);

    // ---- right column: 3 to 9 and the emergency stop ----
    auto *steps = new QGridLayout;
    steps->setHorizontalSpacing(6);
    // Most steps are a panel with one button.
    auto buttonPanel = [&](const char *caption, const char *text, const char *name, void (TForm_AutoTuning::*click)(),
                           int row, int column) {
        QGroupBox *box = panel(caption, content);
        GradRoundBtn *b = button(text, name, box);
        (new QHBoxLayout(box))->addWidget(b);
        connect(b, &QPushButton::clicked, this, click);
        steps->addWidget(box, row, column);
        return b;
    };

    tuningOn_ = buttonPanel("3. Auto Tuning Mode", "ON", "btnATuningON", &TForm_AutoTuning::btnATuningONClick, 0, 0);
    // P2-17's read-back lands here; the window shows the function's state by "ON" alone.
    displays_[kAutoTuningSlot] = valueBox(tuningOn_->parentWidget(), kAutoTuningSlot);
    displays_[kAutoTuningSlot]->hide();
    start_ = buttonPanel("4. Auto Jog Run", "Start", "btnAutoJog_ON", &TForm_AutoTuning::btnAutoJog_ONClick, 0, 1);

    QGroupBox *response = panel("5. System Response", content);
    auto *responseRow = new QHBoxLayout(response);
    displays_[kResponseSlot] = valueBox(response, kResponseSlot);
    responseRow->addWidget(displays_[kResponseSlot]);
    auto *up = button("Up", "btnFBspeedH", response);
    auto *down = button("Down", "btnFBspeedL", response);
    connect(up, &QPushButton::clicked, this, &TForm_AutoTuning::btnFBspeedHClick);
    connect(down, &QPushButton::clicked, this, &TForm_AutoTuning::btnFBspeedLClick);
    responseRow->addWidget(up);
    responseRow->addWidget(down);
    steps->addWidget(response, 1, 0, 1, 2);

    buttonPanel("6. Maual Tuning mode", "Entrance", "btn_Chart", &TForm_AutoTuning::btn_ChartClick, 2, 0);
    buttonPanel("7. Auto Jog Run", "Stop", "btnAutoJog_Off", &TForm_AutoTuning::btnAutoJog_OffClick, 2, 1);

    QGroupBox *inertia = panel("8. System Inertia ratio", content);
    displays_[kInertiaSlot] = valueBox(inertia, kInertiaSlot);
    (new QHBoxLayout(inertia))->addWidget(displays_[kInertiaSlot]);
    steps->addWidget(inertia, 3, 0);

    buttonPanel("9. Auto Tuning Mode", "OFF", "btnATuningOFF", &TForm_AutoTuning::btnATuningOFFClick, 3, 1);

    auto *emergency = new QHBoxLayout;
    auto *estop = MakeEstopButton(content);
    estop->setFixedSize(84, 84);
    connect(estop, &QPushButton::clicked, this, &TForm_AutoTuning::BTN_ESTOPClick);
    auto *estopText = new QVBoxLayout;
    estopText->addStretch();
    estopText->addWidget(new QLabel(QStringLiteral("Push this button"), content));
    estopText->addWidget(new QLabel(QStringLiteral("When emergency situation"), content));
    estopText->addStretch();
    emergency->addWidget(estop);
    emergency->addSpacing(6);
    emergency->addLayout(estopText);
    emergency->addStretch();
    steps->addLayout(emergency, 4, 0, 1, 2);
    steps->setRowStretch(5, 1);
    grid->addLayout(steps, 1, 1);

    // ---- closing messages and Close ----
    auto *bottom = new QHBoxLayout;
    auto *messages = new QVBoxLayout;
    const char *endTexts[2][2] = {
        {"lbl_Endmsg1", " AutoTuning Run is finished. "},
        {"lbl_Endmsg2", "If you need more precision tuning, Use parameter group P2 ~ P6 by manual"}};
    for (size_t i = 0; i < endMessages_.size(); ++i) {
        auto *label = new QLabel(QLatin1String(endTexts[i][1]), content);
        label->setObjectName(QLatin1String(endTexts[i][0]));
        setTextColour(label, EndMessageIdle);
        messages->addWidget(label);
        endMessages_[i] = label;
    }
    bottom->addLayout(messages, 1);
    close_ = button("Close", "btnClose", content);
    close_->setMinimumWidth(100);
    connect(close_, &QPushButton::clicked, this, &TForm_AutoTuning::btnCloseClick);
    bottom->addWidget(close_, 0, Qt::AlignBottom);
    grid->addLayout(bottom, 2, 0, 1, 2);
    grid->setRowStretch(1, 1);

    resize(801, 551);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &TForm_AutoTuning::escapeStop);
    connect(&s_, &DriveSession::linkWentDown, this, &TForm_AutoTuning::onLinkDown);
    CentreOnScreen(this);
}

TForm_AutoTuning::~TForm_AutoTuning() = default;

void TForm_AutoTuning::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    readAll();
}

void TForm_AutoTuning::closeEvent(QCloseEvent *event)
{
    // The window must outlive the exchange it waits in.
    if (guard_.holdBack(event))
        return;
    // While the pattern runs only this window can stop it, so it closes no more readily
    // than its "Close" button allows.
    if (running_) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TForm_AutoTuning::readAll()
{
    guard_.run([this] { TThread_AutoTune_READ(s_, *this).run(); });
}

void TForm_AutoTuning::showSlot(int slot, const QString &text)
{
    if (QLabel *display = displays_.at(size_t(slot)))
        display->setText(text);
}

void TForm_AutoTuning::btnJogParaSetClick()
{
    guard_.run([this] {
        for (const JogRow &row : kJogRows) {
            const QString text = edits_[size_t(row.slot)]->text();
            if (text.isEmpty())
                continue;
            QLabel *display = displays_[size_t(row.slot)];
            const ValueWriteResult r = ValueWrite(s_, AutoTuneDefs[size_t(row.slot)], text, false,
                                                  [display](const QString &t) { display->setText(t); });
            // A refused row ends the Set; the rows before it stay written.
            if (r.status != ValueWriteResult::Written)
                return;
        }
    });
}

QString TForm_AutoTuning::switchAutoTuning(const char *value)
{
    QLabel *display = displays_[kAutoTuningSlot];
    QString readBack;
    ValueWrite(s_, AutoTuneDefs[kAutoTuningSlot], QLatin1String(value), false, [display, &readBack](const QString &t) {
        display->setText(t);
        readBack = t;
    });
    return readBack;
}

void TForm_AutoTuning::btnATuningONClick()
{
    guard_.run([this] {
        if (switchAutoTuning("1") == QLatin1String("1"))
            tuningOn_->setEnabled(false);
    });
}

void TForm_AutoTuning::btnATuningOFFClick()
{
    guard_.run([this] {
        if (switchAutoTuning("0") != QLatin1String("0"))
            return;
        tuningOn_->setEnabled(true);
        for (QLabel *label : endMessages_)
            setTextColour(label, EndMessageDone);
    });
}

void TForm_AutoTuning::btnAutoJog_ONClick()
{
    guard_.run([this] {
        Command command;
        if (mode1_->isChecked())
            command = Command::ProgrammedJogMode1;
        else if (mode2_->isChecked())
            command = Command::ProgrammedJogMode2;
        else {
            s_.showMessage(QLatin1String(kSelectMode));
            return;
        }
        switch (StartProgrammedJog(s_, command)) {
        case PatternStart::Started:
            break;
        case PatternStart::Refused:
            s_.showMessage(QLatin1String(texts::InstructionFail));
            return;
        case PatternStart::StoppedAgain:
            s_.showMessage(QLatin1String(texts::PatternStartUnconfirmed));
            return;
        case PatternStart::MayRun:
            // Only this window can stop it: it stays as if the pattern ran.
            s_.showMessage(QLatin1String(texts::PatternMayRun));
            break;
        case PatternStart::LinkDown:
            return;
        }
        running_ = true;
        close_->setEnabled(false);
        mode1_->setEnabled(false);
        mode2_->setEnabled(false);
        // Mode 2 may be started again while it runs.
        if (command == Command::ProgrammedJogMode1)
            start_->setEnabled(false);
    });
}

void TForm_AutoTuning::escapeStop()
{
    btnAutoJog_OffClick();
}

void TForm_AutoTuning::onLinkDown()
{
    // Nothing more can be sent: the window can be closed, and the user is told.
    const bool mayRun = running_;
    running_ = false;
    for (QWidget *w : std::initializer_list<QWidget *>{close_, start_, mode1_, mode2_})
        w->setEnabled(true);
    if (mayRun)
        s_.reportLinkFault(QLatin1String(texts::MotorStateUnknown));
}

void TForm_AutoTuning::btnAutoJog_OffClick()
{
    guard_.run([this] {
        if (CommandExchange(s_, Command::ProgrammedJogOff)) {
            running_ = false;
            for (QWidget *w : std::initializer_list<QWidget *>{close_, start_, mode1_, mode2_})
                w->setEnabled(true);
        } else {
            s_.showMessage(QLatin1String(texts::InstructionFail));
        }
        // Either way: the pattern may have ended, and the inertia ratio found is wanted.
        readAll();
    });
}

void TForm_AutoTuning::stepResponse(int step)
{
    guard_.run([this, step] {
        QLabel *shown = displays_[kResponseSlot];
        const QString before = shown->text();
        int32_t value = 0;
        // An empty display (after a reading without reply) has nothing to step from.
        if (!ParseTypedWhole(before, value)) {
            s_.showMessage(QLatin1String(texts::WrongParameter));
            return;
        }
        const QString stepped = QString::number(qint64(value) + step);
        shown->setText(stepped);
        const TParamDef &def = AutoTuneDefs[kResponseSlot];
        if (!ConvertsFor(def, stepped)) {
            shown->setText(before);
            s_.showMessage(QLatin1String(texts::WrongParameter));
            return;
        }
        ValueWrite(s_, def, stepped, false, [shown](const QString &t) { shown->setText(t); });
    });
}

void TForm_AutoTuning::btn_ChartClick()
{
    if (entranceAction_)
        entranceAction_();
}

void TForm_AutoTuning::btnCloseClick()
{
    close();
}

} // namespace velmora
