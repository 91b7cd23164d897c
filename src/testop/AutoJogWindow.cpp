#include "testop/AutoJogWindow.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>

#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/Catalogue.h"
#include "params/DisplayRules.h"
#include "params/ParamTransactions.h"
#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"
#include "widgets/TextBoxes.h"

namespace velmora {

namespace {

constexpr int kMargin = 10;
constexpr int kRowHeight = 24, kRowPitch = 26;
constexpr int kIdWidth = 60, kNameWidth = 190, kValueWidth = 80, kEditWidth = 90, kSetWidth = 44;
constexpr int kGap = 3;
constexpr int kClientWidth = 2 * kMargin + kIdWidth + kNameWidth + kValueWidth + kEditWidth + kSetWidth + 4 * kGap;

// Rows 1 .. 16 (registers 1003 .. 1018): the object names of the value box and the edit,
// whose spelling varies from row to row. The Set buttons are all btnAutojog_nn.
struct RowNames {
    const char *value;
    const char *edit;
};
constexpr std::array<RowNames, TForm_AUTOJOG::kPlaces> kRowNames{{
    {nullptr, nullptr}, // 1002, the run mode
    {"STextAutojog_02", "EditAutoJog_02"},
    {"STextAutoJog_03", "EditAutojog_03"},
    {"STextAutoJog_04", "EditAutojog_04"},
    {"STextAutoJog_05", "EditAutoJog_05"},
    {"STextAutoJog_06", "EditAutojog_06"},
    {"STextAutojog_07", "EditAutoJog_07"},
    {"STextAutojog_08", "EditAutoJog_08"},
    {"STextAutojog_09", "EditAutoJog_09"},
    {"STextAutojog_10", "EditAutoJog_10"},
    {"STextAutojog_11", "EditAutoJog_11"},
    {"STextAutojog_12", "EditAutoJog_12"},
    {"STextAutojog_13", "EditAutoJog_13"},
    {"STextAutojog_14", "EditAutoJog_14"},
    {"STextAutojog_15", "EditAutoJog_15"},
    {"STextAutojog_16", "EditAutoJog_16"},
    {"STextAutojog_17", "EditAutoJog_17"},
}};

QString two(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

// Odd rows are the speeds of steps 1 .. 8, even rows their times or revolution counts.
QString rowName(int row)
{
    const int step = (row + 1) / 2;
    return row % 2 == 1 ? QStringLiteral("Jog Speed%1 [rpm]").arg(step)
                        : QStringLiteral("Jog Time%1/REV%1 [sec]/[rev]").arg(step);
}

} // namespace

// ---- block read ----

TThread_AutoJOG_READ::TThread_AutoJOG_READ(TForm_AUTOJOG &form) : s_(form.session()), form_(form) {}

ReplyOutcome TThread_AutoJOG_READ::run()
{
    const ExchangeResult r = ReadRegisters(s_, AutoJogDefs[0].Address, uint16_t(AutoJogDefs.size()));
    // Only the drive's answer is shown.
    if (!r.good())
        return r.outcome;
    QStringList texts;
    for (size_t i = 0; i < AutoJogDefs.size(); ++i)
        texts << FormatParamValue(r.value(int(i) + 1), AutoJogDefs[i].Decimals);
    s_.runOnUi([this, &texts] { form_.showBlock(texts); });
    return r.outcome;
}

// ---- window ----

TForm_AUTOJOG::TForm_AUTOJOG(DriveSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      s_(session)
{
    setObjectName(QStringLiteral("TForm_AUTOJOG"));
    setWindowTitle(QStringLiteral("AUTOJOG"));

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
    for (int row = 1; row < kPlaces; ++row, y += kRowPitch) {
        x = kMargin;
        auto place = [&](QWidget *w, int width) {
            w->setGeometry(x, y, width, kRowHeight);
            x += width + kGap;
        };
        place(SunkenText(this, QStringLiteral("JOG-") + two(row + 3), {}), kIdWidth);
        QLabel *name = SunkenText(this, rowName(row), {});
        name->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        name->setIndent(4);
        place(name, kNameWidth);
        QLabel *value = SunkenText(this, QString(), {});
        value->setObjectName(QLatin1String(kRowNames[size_t(row)].value));
        place(value, kValueWidth);
        values_[size_t(row)] = value;
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(kRowNames[size_t(row)].edit));
        place(edit, kEditWidth);
        edits_[size_t(row)] = edit;
        auto *set = new GradRoundBtn(QStringLiteral("Set"), this);
        set->setObjectName(QStringLiteral("btnAutojog_") + two(row + 1));
        place(set, kSetWidth);
        setButtons_[size_t(row)] = set;
        connect(set, &QPushButton::clicked, this, [this, row] { btnAutojogClick(row); });
    }

    // The mode buttons inside "Mode select / Run ", beside the off button.
    y += 8;
    auto *onOff = new QGroupBox(QStringLiteral("AUTO JOG ON/OFF"), this);
    onOff->setObjectName(QStringLiteral("GroupBox2"));
    const int onOffWidth = kClientWidth - 2 * kMargin;
    onOff->setGeometry(kMargin, y, onOffWidth, 100);
    auto *modes = new QGroupBox(QStringLiteral("Mode select / Run "), onOff);
    modes->setObjectName(QStringLiteral("GroupBox1"));
    const int modesWidth = onOffWidth * 2 / 3;
    modes->setGeometry(10, 24, modesWidth, 66);
    const int modeButton = (modesWidth - 3 * 10) / 2;
    mode1_ = new GradRoundBtn(QStringLiteral("Mode 1"), modes);
    mode1_->setObjectName(QStringLiteral("btnAJog1_On"));
    mode1_->setGeometry(10, 24, modeButton, 32);
    connect(mode1_, &QPushButton::clicked, this, &TForm_AUTOJOG::btnAJog1_OnClick);
    mode2_ = new GradRoundBtn(QStringLiteral("Mode 2"), modes);
    mode2_->setObjectName(QStringLiteral("btnAJog2_On"));
    mode2_->setGeometry(20 + modeButton, 24, modeButton, 32);
    connect(mode2_, &QPushButton::clicked, this, &TForm_AUTOJOG::btnAJog2_OnClick);
    auto *off = new GradRoundBtn(QStringLiteral("Auto-JOG OFF"), onOff);
    off->setObjectName(QStringLiteral("btnAJog_Off"));
    off->setGeometry(modesWidth + 20, 48, onOffWidth - modesWidth - 30, 32);
    connect(off, &QPushButton::clicked, this, &TForm_AUTOJOG::btnAJog_OffClick);
    // What is known of the pattern: read from the drive on opening, then what it confirmed.
    state_ = new QLabel(onOff);
    state_->setObjectName(QStringLiteral("lblAutoJogState"));
    state_->setAlignment(Qt::AlignCenter);
    state_->setGeometry(modesWidth + 20, 22, onOffWidth - modesWidth - 30, 22);
    showRunState(RunState::Unread);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &TForm_AUTOJOG::escapeStop);
    connect(&s_, &DriveSession::linkWentDown, this, &TForm_AUTOJOG::onLinkDown);

    y += 100 + 10;
    auto *reflash = new GradRoundBtn(QStringLiteral("Read Again"), this);
    reflash->setObjectName(QStringLiteral("btnReflash"));
    reflash->setGeometry(kClientWidth - 2 * (100 + kMargin), y, 100, 32);
    connect(reflash, &QPushButton::clicked, this, &TForm_AUTOJOG::btnReflashClick);
    close_ = new GradRoundBtn(QStringLiteral("Close"), this);
    close_->setObjectName(QStringLiteral("btnClose"));
    close_->setGeometry(kClientWidth - (100 + kMargin), y, 100, 32);
    connect(close_, &QPushButton::clicked, this, &TForm_AUTOJOG::btnCloseClick);

    setFixedSize(kClientWidth, y + 32 + kMargin);
    CentreOnScreen(this);
}

TForm_AUTOJOG::~TForm_AUTOJOG() = default;

void TForm_AUTOJOG::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    guard_.run([this] { TThread_AutoJOG_READ(*this).run(); });
}

void TForm_AUTOJOG::closeEvent(QCloseEvent *event)
{
    // The window must outlive the exchange it waits in.
    if (guard_.holdBack(event))
        return;
    // Nothing is sent: a pattern that runs goes on running.
    autoJogPageOpen_ = false;
    QWidget::closeEvent(event);
}

void TForm_AUTOJOG::showBlock(const QStringList &texts)
{
    if (!autoJogPageOpen_)
        return;
    // The run mode (place 0) says whether a pattern runs, e.g. one started before the
    // window was opened.
    if (!texts.isEmpty()) {
        bool ok = false;
        const int mode = texts[0].toInt(&ok);
        showRunState(!ok ? RunState::Unknown : mode == 1 ? RunState::Mode1 : mode == 2 ? RunState::Mode2 : RunState::Stopped);
    }
    for (int i = 1; i < kPlaces && i < texts.size(); ++i)
        values_[size_t(i)]->setText(texts[i]);
}

void TForm_AUTOJOG::btnReflashClick()
{
    guard_.run([this] {
        for (int i = 1; i < kPlaces; ++i)
            values_[size_t(i)]->clear();
        TThread_AutoJOG_READ(*this).run();
    });
}

void TForm_AUTOJOG::btnAutojogClick(int row)
{
    if (row < 1 || row >= kPlaces)
        return;
    guard_.run([this, row] {
        QLabel *display = values_[size_t(row)];
        ValueWrite(s_, AutoJogDefs[size_t(row)], edits_[size_t(row)]->text(), false,
                   [display](const QString &text) { display->setText(text); });
    });
}

QString TForm_AUTOJOG::runStateText(RunState state)
{
    switch (state) {
    case RunState::Unread: return QString();
    case RunState::Stopped: return QStringLiteral("Stopped");
    case RunState::Mode1: return QStringLiteral("Running: Mode 1");
    case RunState::Mode2: return QStringLiteral("Running: Mode 2");
    case RunState::Unknown: return QStringLiteral("State unknown");
    }
    return QString();
}

void TForm_AUTOJOG::showRunState(RunState state)
{
    runState_ = state;
    state_->setText(runStateText(state));
    QPalette p = state_->palette();
    p.setColor(QPalette::WindowText, state == RunState::Mode1 || state == RunState::Mode2 ? Qt::red
                                     : state == RunState::Unknown                     ? QColor(0xB0, 0x60, 0x00)
                                                                                      : palette().color(QPalette::WindowText));
    state_->setPalette(p);
    // A running pattern keeps the other mode from starting, as a start here does.
    if (state == RunState::Mode1)
        mode2_->setEnabled(false);
    else if (state == RunState::Mode2)
        mode1_->setEnabled(false);
}

void TForm_AUTOJOG::startMode(Command command)
{
    guard_.run([this, command] {
        starting_ = true;
        const PatternStart started = StartProgrammedJog(s_, command);
        starting_ = false;
        switch (started) {
        case PatternStart::Started:
            showRunState(command == Command::ProgrammedJogMode1 ? RunState::Mode1 : RunState::Mode2);
            return;
        case PatternStart::Refused:
            s_.showMessage(QString::fromLatin1(texts::InstructionFail));
            return;
        case PatternStart::StoppedAgain:
            showRunState(RunState::Stopped);
            close_->setEnabled(true);
            mode1_->setEnabled(true);
            mode2_->setEnabled(true);
            s_.showMessage(QString::fromLatin1(texts::PatternStartUnconfirmed));
            return;
        case PatternStart::MayRun:
            showRunState(RunState::Unknown);
            s_.showMessage(QString::fromLatin1(texts::PatternMayRun));
            return;
        case PatternStart::LinkDown:
            showRunState(RunState::Unknown);
            return;
        }
    });
}

void TForm_AUTOJOG::btnAJog1_OnClick()
{
    startMode(Command::ProgrammedJogMode1);
}

void TForm_AUTOJOG::btnAJog2_OnClick()
{
    startMode(Command::ProgrammedJogMode2);
}

void TForm_AUTOJOG::btnAJog_OffClick()
{
    guard_.run([this] {
        const bool wasDown = s_.isLinkDown();
        const ExchangeResult off = CommandExchange(s_, Command::ProgrammedJogOff);
        if (off) {
            showRunState(RunState::Stopped);
            close_->setEnabled(true);
            mode1_->setEnabled(true);
            mode2_->setEnabled(true);
        } else if (off.outcome == ReplyOutcome::LinkDown) {
            if (wasDown)
                s_.showMessage(QString::fromLatin1(texts::MotorStateUnknown));
        } else {
            s_.showMessage(QString::fromLatin1(texts::InstructionFail));
        }
    });
}

void TForm_AUTOJOG::escapeStop()
{
    btnAJog_OffClick();
}

void TForm_AUTOJOG::onLinkDown()
{
    const bool mayRun = starting_ || (runState_ != RunState::Stopped && runState_ != RunState::Unread);
    showRunState(RunState::Unknown);
    close_->setEnabled(true);
    if (mayRun)
        s_.reportLinkFault(QString::fromLatin1(texts::MotorStateUnknown));
}

void TForm_AUTOJOG::btnCloseClick()
{
    close();
}

} // namespace velmora
