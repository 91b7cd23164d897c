#include "shell/MainWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "link/KeptSettings.h"
#include "link/MessageService.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "monitor/AlarmCommands.h"
#include "monitor/AlarmTexts.h"
#include "params/AtomicFile.h"
#include "params/ChangeRecordCsv.h"
#include "params/ParamFile.h"
#include "params/DownloadWindow.h"
#include "params/ReportWindows.h"
#include "shell/CommDialogs.h"
#include "params/Catalogue.h"
#include "report/ReportWindow.h"
#include "shell/AboutWindow.h"
#include "testop/AutoJogWindow.h"
#include "testop/InputWindow.h"
#include "testop/JogWindow.h"
#include "tuning/AutoTuningWindow.h"
#include "tuning/GainChartWindow.h"
#include "tuning/ManualTuningWindow.h"
#include "tuning/MonitorWindow.h"
#include "shell/ConnectionWindow.h"
#include "shell/FileCommands.h"
#include "shell/FindDriveDialog.h"
#include "shell/LinkPanel.h"
#include "widgets/ProcessWindow.h"
#include "widgets/ALed.h"
#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"
#include "widgets/TextBoxes.h"

namespace velmora {

namespace {

constexpr char kCaption[] = "Velmora For VD-840 (Ver" VELMORA_VERSION ")";
constexpr char kCompanion[] = "VADAVO_Zuduze_VD-520.exe";

QLabel *addText(QWidget *parent, const QString &text, const QRect &geometry, const char *name = nullptr,
                bool sunken = false)
{
    QLabel *label = sunken ? SunkenText(parent, text, geometry) : new QLabel(text, parent);
    if (name)
        label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    return label;
}

QGroupBox *addGroup(QWidget *parent, const char *name, const char *caption, const QRect &geometry)
{
    auto *group = new QGroupBox(QString::fromUtf8(caption), parent);
    group->setObjectName(QLatin1String(name));
    group->setGeometry(geometry);
    return group;
}

ThhALed *addLamp(QWidget *parent, const char *name, ThhALed::TLEDStyle style, const QPoint &at)
{
    auto *lamp = new ThhALed(parent);
    lamp->setObjectName(QLatin1String(name));
    lamp->setBlink(false);
    lamp->setBordered(false);
    lamp->setLEDStyle(style);
    lamp->move(at);
    return lamp;
}

// Input lamps top to bottom: pin 11 (P7-12) first, pin 0 (P7-01) last.
struct LampRow {
    const char *lamp;
    const char *label;
    const char *text;
};
constexpr std::array<LampRow, 12> kInputRows{{
    {"LED_ALMRST", "Lbl_Input_12", "ALMRST"}, {"LED_STOP", "Lbl_Input_11", "STOP"},
    {"LED_ESTOP", "Lbl_Input_10", "ESTOP"},   {"LED_TLIM", "Lbl_Input_09", "TLIM"},
    {"LED_CWLIM", "Lbl_Input_08", "CWLIM"},   {"LED_CCWLIM", "Lbl_Input_07", "CCWLIM"},
    {"LED_PPI", "Lbl_Input_06", "P/PI"},      {"LED_DIR", "Lbl_Input_05", "DIR"},
    {"LED_SPD3", "Lbl_Input_04", "SPD3"},     {"LED_SPD2", "Lbl_Input_03", "SPD2"},
    {"LED_SPD1", "Lbl_Input_02", "SPD1"},     {"LED_SVONEN", "Lbl_Input_01", "SVONEN"},
}};
// Output lamps top to bottom; the poller's list runs bottom to top.
constexpr std::array<LampRow, 10> kOutputRows{{
    {"LED_ALARM3", "Lbl_Output_10", "A_CODE3"}, {"LED_ALARM2", "Lbl_Output_09", "A_CODE2"},
    {"LED_ALARM1", "Lbl_Output_08", "A_CODE1"}, {"LED_ALARM0", "Lbl_Output_07", "A_CODE0"},
    {"LED_ALARM", "Lbl_Output_06", "ALARM"},    {"LED_TRQOUT", "Lbl_Output_05", "TRQO/SPDO"},
    {"LED_RDY", "Lbl_Output_04", "RDY"},        {"LED_ZSPD", "Lbl_Output_03", "ZSPD"},
    {"LED_INSPD", "Lbl_Output_02", "INSPD/INPOS"}, {"LED_BRAKE", "Lbl_Output_01", "BRAKE"},
}};

} // namespace

TForm_Main::TForm_Main(MessageService &messages, QWidget *parent)
    : QMainWindow(parent),
      messages_(messages),
      connection_(messages, *this, *this),
      children_(this, *this)
{
    setObjectName(QStringLiteral("TForm_Main"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto *client = new QWidget(this);
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    buildStatusGroup(client);
    buildIoGroup(client);
    buildServoGroup(client);
    buildModeGroups(client);
    buildAlarmGroup(client);
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    CentreOnScreen(this);

    // FormCreate: the connection holds the station number, the counters and the receiver;
    // nothing is sent.
    files_ = std::make_unique<FileCommands>(*this, messages_);

    // Without a parent: a disabled main window would grey out its child dialogs, and the
    // Processing window is shown exactly while a drive window holds the main one disabled.
    process_ = std::make_unique<TForm_Process>();
    process_->hide();
    qApp->installEventFilter(this); // Ctrl+L for the link panel from every window
}

TForm_Main::~TForm_Main()
{
    qApp->removeEventFilter(this);
    linkPanel_.reset();
    connection_.shutdown(); // the poller's steps touch this window's controls
}

TForm_FindDrive *TForm_Main::findDrive()
{
    if (connection_.port().isOpen()) {
        messages_.show(QString::fromLatin1(texts::ComportOpenAlready));
        return nullptr;
    }
    auto *dialog = new TForm_FindDrive(*this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

TForm_Link *TForm_Main::openLinkPanel()
{
    if (!linkPanel_) {
        TForm_Link::Sources sources;
        sources.activity = [this] { return linkActivity(); };
        sources.baud = [this] { return port().settings().simulate ? 0 : int(port().settings().Baud); };
        linkPanel_ = std::make_unique<TForm_Link>(session(), std::move(sources));
    }
    linkPanel_->show();
    linkPanel_->raise();
    linkPanel_->activateWindow();
    return linkPanel_.get();
}

QString TForm_Main::linkActivity()
{
    if (auto *chart = findChild<TForm_Chart *>(); chart && chart->running())
        return QStringLiteral("monitoring chart %1 samples/s").arg(chart->achievedRate(), 0, 'f', 0);
    TThread_ST_ALS_READ *poller = this->poller();
    if (!poller) {
        activityMark_ = {};
        return {};
    }
    // Cycles per second since the panel last asked.
    const qint64 now = LinkClockMs();
    const qint64 cycles = poller->cyclesDone();
    QString text = QStringLiteral("status poller");
    if (activityMark_.source == poller && now > activityMark_.atMs)
        text += QStringLiteral(" %1 cycles/s").arg(double(cycles - activityMark_.count) * 1000.0 / double(now - activityMark_.atMs), 0, 'f', 1);
    activityMark_ = {poller, cycles, now};
    return text;
}

bool TForm_Main::eventFilter(QObject *watched, QEvent *event)
{
    // Ctrl+L reaches the panel from every window, also while this one is disabled.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_L && key->modifiers() == Qt::ControlModifier && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->window() != this) {
            if (event->type() == QEvent::KeyPress)
                openLinkPanel();
            event->accept();
            return event->type() == QEvent::KeyPress;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QPushButton *TForm_Main::addButton(QWidget *parent, const char *name, const char *caption, const QRect &geometry,
                                   bool enabled)
{
    auto *button = new GradRoundBtn(QString::fromLatin1(caption), parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setEnabled(enabled);
    return button;
}

void TForm_Main::buildStatusGroup(QWidget *client)
{
    QGroupBox *group = addGroup(client, "StatusGroupBox", "Status Window ( Status : St-- )", QRect(4, 2, 308, 539));
    addText(group, QStringLiteral("Menu"), QRect(10, 20, 50, 18))->setAlignment(Qt::AlignCenter);
    addText(group, QStringLiteral("Name"), QRect(64, 20, 140, 18))->setAlignment(Qt::AlignCenter);
    addText(group, QStringLiteral("Value"), QRect(208, 20, 90, 18))->setAlignment(Qt::AlignCenter);
    int y = 40;
    for (size_t i = 0; i < StDefs.size(); ++i) {
        if (StDefs[i].Address == kIoStatusRegister)
            continue; // St-17 is the lamps' group
        const QString id = ParamIdForAddress(StDefs[i].Address);
        addText(group, id, QRect(10, y, 50, 24), nullptr, true);
        QLabel *name = addText(group, QString::fromUtf8(StatusItemNames[i]), QRect(64, y, 140, 24), nullptr, true);
        name->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        name->setIndent(4);
        const QByteArray boxName = QStringLiteral("STextSt_%1").arg(i + 1, 2, 10, QLatin1Char('0')).toLatin1();
        statusBoxes_[i] = addText(group, QString(), QRect(208, y, 90, 24), boxName.constData(), true);
        y += 27;
    }
    // Five panels for the port settings of the link on line.
    auto *bar = new QWidget(group);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setGeometry(4, 514, 300, 20);
    const int widths[5] = {50, 75, 55, 55, 65};
    int x = 0;
    for (int i = 0; i < 5; ++i) {
        statusPanels_[i] = addText(bar, QString(), QRect(x, 0, widths[i], 20), nullptr, false);
        statusPanels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusPanels_[i]->setIndent(2);
        QFont small = statusPanels_[i]->font();
        small.setPointSizeF(small.pointSizeF() * 0.85);
        statusPanels_[i]->setFont(small);
        x += widths[i];
    }
}

void TForm_Main::buildIoGroup(QWidget *client)
{
    QGroupBox *io = addGroup(client, "St12GroupBox", "St-17 (I/O Status )", QRect(318, 2, 250, 322));
    QGroupBox *in = addGroup(io, "GroupBox1", "Input Status", QRect(6, 18, 116, 298));
    QGroupBox *out = addGroup(io, "GroupBox2", "Output Status", QRect(128, 18, 116, 298));
    int y = 22;
    for (size_t row = 0; row < kInputRows.size(); ++row) {
        ThhALed *lamp = addLamp(in, kInputRows[row].lamp, ThhALed::LEDLarge, QPoint(8, y));
        QLabel *label = addText(in, QLatin1String(kInputRows[row].text), QRect(34, y + 2, 78, 18), kInputRows[row].label);
        inputLamps_[kInputRows.size() - 1 - row] = lamp; // pin order
        inputLabels_[kInputRows.size() - 1 - row] = label;
        y += 23;
    }
    y = 22;
    for (size_t row = 0; row < kOutputRows.size(); ++row) {
        ThhALed *lamp = addLamp(out, kOutputRows[row].lamp, ThhALed::LEDLarge, QPoint(8, y));
        QLabel *label = addText(out, QLatin1String(kOutputRows[row].text), QRect(34, y + 2, 78, 18), kOutputRows[row].label);
        outputLamps_[kOutputRows.size() - 1 - row] = lamp; // LED_BRAKE first, LED_ALARM3 last
        outputLabels_[kOutputRows.size() - 1 - row] = label;
        y += 23;
    }
}

void TForm_Main::buildServoGroup(QWidget *client)
{
    QGroupBox *group = addGroup(client, "GroupBox3", "Servo Status", QRect(574, 2, 214, 122));
    const char *names[3] = {"LED_POWER", "LED_SOVOEN_1", "LED_ALARM_1"};
    const char *captions[3] = {"POWER", "SVONEN", "ALARM"};
    for (int i = 0; i < 3; ++i) {
        const int x = 14 + i * 68;
        addText(group, QLatin1String(captions[i]), QRect(x, 20, 56, 16))->setAlignment(Qt::AlignCenter);
        ThhALed *lamp = addLamp(group, names[i], ThhALed::LEDSqLarge, QPoint(x + 17, 38));
        (i == 0 ? powerLamp_ : i == 1 ? servoLamp_ : alarmLamp_) = lamp;
        if (i == 2)
            lamp->setTrueColor(Qt::red);
    }
    QPushButton *on = onLineButton_ = addButton(group, "BtnON_Line", "On-Line", QRect(8, 76, 64, 36), true);
    QPushButton *off = offLineButton_ = addButton(group, "BtnOFF_LINE", "Off-Line", QRect(75, 76, 64, 36), true);
    connect(on, &QPushButton::clicked, this, &TForm_Main::BtnON_LineClick);
    connect(off, &QPushButton::clicked, this, &TForm_Main::BtnOff_LineClick);
    QPushButton *exit = addButton(group, "BtnExit", "Exit", QRect(142, 76, 64, 36), true);
    connect(exit, &QPushButton::clicked, this, &TForm_Main::BtnexitClick);
}

void TForm_Main::buildModeGroups(QWidget *client)
{
    QGroupBox *mode = addGroup(client, "ControlSpeedPosiGroupBox", "Control mode", QRect(574, 128, 214, 206));
    const char *names[9] = {"btnP1", "BtnP2", "BtnP3", "BtnP4", "BtnP5", "btnP6", "btnP7", "btnP8", "btnP9"};
    const char *captions[9] = {"P1 : Motor    ", "P2 : Control  ", "P3 : Speed   ", "P4 : CMD      ",
                               "P5 : Position", "P6 : Torque ", "P7 : DIG INS ", "P8 : DIG OUT", "P9 : Monitor "};
    for (int i = 0; i < 9; ++i) {
        const int column = i < 5 ? 0 : 1, row = i < 5 ? i : i - 5;
        QPushButton *page = addButton(mode, names[i], captions[i], QRect(8 + column * 102, 20 + row * 36, 96, 32), false);
        driveButtons_.push_back(page);
        connect(page, &QPushButton::clicked, this, [this, i] { openParamPage(i + 1); });
    }

    QGroupBox *test = addGroup(client, "TestModeGroupBox", "Funtion mode", QRect(574, 338, 214, 96));
    auto driveButton = [this](QPushButton *b) {
        driveButtons_.push_back(b);
        return b;
    };
    connect(driveButton(addButton(test, "BtnJOG", "Jog", QRect(8, 20, 96, 32), false)), &QPushButton::clicked, this,
            &TForm_Main::BtnJOGClick);
    connect(driveButton(addButton(test, "BtnAuto_Jog", "Auto Jog", QRect(110, 20, 96, 32), false)),
            &QPushButton::clicked, this, &TForm_Main::BtnAuto_JogClick);
    connect(driveButton(addButton(test, "BtnAutoTune", "Auto Tuning", QRect(8, 56, 96, 32), false)),
            &QPushButton::clicked, this, &TForm_Main::BtnAutoTuneClick);
    connect(driveButton(addButton(test, "BtnManuTune", "Manual Tuning", QRect(110, 56, 96, 32), false)),
            &QPushButton::clicked, this, &TForm_Main::BtnManuTuneClick);
}

void TForm_Main::buildAlarmGroup(QWidget *client)
{
    QGroupBox *group = addGroup(client, "AlarmGroupBox", "Alarm ( ALS )", QRect(318, 328, 250, 213));
    addText(group, QStringLiteral("ALS01"), QRect(6, 20, 38, 22), "StaticText71", true);
    addText(group, QStringLiteral("Alarm Display"), QRect(46, 20, 88, 22), "StaticText72", true);
    presentAlarm_ = addText(group, QString(), QRect(136, 20, 108, 22), "STextALS_01", true);
    addText(group, QStringLiteral("ALS02"), QRect(6, 46, 38, 24), "StaticText74", true);
    addText(group, QStringLiteral("Alarm Reset"), QRect(46, 46, 88, 24), "StaticText75", true);
    QPushButton *reset = addButton(group, "btnALS_02", "Reset", QRect(136, 46, 42, 24), false);
    driveButtons_.push_back(reset);
    connect(reset, &QPushButton::clicked, this, &TForm_Main::btnALS_02Click);
    QPushButton *detail = alarmDetailButton_ = addButton(group, "btnALS_Detail", "Alarm Info", QRect(180, 46, 64, 24), false);
    FitTextToWidth(detail, detail->text(), 10);
    connect(detail, &QPushButton::clicked, this, &TForm_Main::btnALS_DetailClick);

    QGroupBox *history = addGroup(group, "AlarmHistoryGroupBox", "Alarm History", QRect(6, 74, 238, 133));
    historyList_ = new QListWidget(history);
    historyList_->setObjectName(QStringLiteral("ListBoxALS03"));
    historyList_->setGeometry(8, 20, 150, 106);
    QPushButton *display = addButton(history, "btnALS_03", "Display", QRect(164, 20, 66, 30), false);
    QPushButton *clear = addButton(history, "btnALS_04", "Reset", QRect(164, 56, 66, 30), false);
    driveButtons_.push_back(display);
    driveButtons_.push_back(clear);
    connect(display, &QPushButton::clicked, this, &TForm_Main::btnALS_03Click);
    connect(clear, &QPushButton::clicked, this, &TForm_Main::btnALS_04Click);
}

void TForm_Main::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu *menu, const char *name, const char *caption) {
        QAction *action = menu->addAction(QString::fromLatin1(caption));
        action->setObjectName(QLatin1String(name));
        return action;
    };
    auto separator = [](QMenu *menu, const char *name) { menu->addSeparator()->setObjectName(QLatin1String(name)); };

    QMenu *file = fileMenu_ = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File1"));
    connect(item(file, "OPEN1", "Open"), &QAction::triggered, this, &TForm_Main::OPEN1Click);
    connect(item(file, "Compare1", "Compare with Drive..."), &QAction::triggered, this,
            [this] { files_->Compare1Click(); });
    connect(item(file, "SaveChangeRecord1", "Save Change Record..."), &QAction::triggered, this,
            [this] { saveChangeRecord(); });
    separator(file, "N1");
    connect(item(file, "EXIT1", "Exit"), &QAction::triggered, this, &TForm_Main::EXIT1Click);
    file->menuAction()->setEnabled(false);

    QMenu *config = bar->addMenu(QStringLiteral("Config"));
    config->setObjectName(QStringLiteral("CONFIG1"));
    connect(item(config, "SET1", "Commport"), &QAction::triggered, this, &TForm_Main::SET1Click);
    connect(item(config, "FindDrive1", "Find Drive..."), &QAction::triggered, this, [this] { findDrive(); });

    QMenu *tools = toolsMenu_ = bar->addMenu(QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("TOOLS1"));
    connect(item(tools, "INPUT_PORT", "Input Control"), &QAction::triggered, this, &TForm_Main::INPUT_PORTClick);
    connect(item(tools, "Monitor1", "Monitor"), &QAction::triggered, this, &TForm_Main::Monitor1Click);
    connect(item(tools, "Report1", "Report"), &QAction::triggered, this, &TForm_Main::Report1Click);
    separator(tools, "N2");
    connect(item(tools, "Download1", "Write(PC->SERVO)"), &QAction::triggered, this, &TForm_Main::Download1Click);
    connect(item(tools, "UpLoad1", "Read(PC<-SERVO)"), &QAction::triggered, this, &TForm_Main::UpLoad1Click);
    tools->menuAction()->setEnabled(false);

    QMenu *view = bar->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("View1"));
    QAction *link = item(view, "Link1", "Link");
    link->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(link, &QAction::triggered, this, [this] { openLinkPanel(); });

    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help1"));
    connect(item(help, "NorvaneHomePage1", "Norvane Website"), &QAction::triggered, this,
            &TForm_Main::NorvaneHomePage1Click);
    connect(item(help, "QuellixHomePage1", "SERVO System Website"), &QAction::triggered, this,
            &TForm_Main::QuellixHomePage1Click);
    separator(help, "N3");
    connect(item(help, "ViewConnection1", "Comm Cable Wiring"), &QAction::triggered, this,
            &TForm_Main::ViewConnection1Click);
    connect(item(help, "About1", "About"), &QAction::triggered, this, &TForm_Main::About1Click);
}

namespace {

constexpr int kSettingsPauseMs = 10;
constexpr int kHistoryRefillPauseMs = 1000;

} // namespace

void TForm_Main::SET1Click()
{
    ComPort &port = connection_.port();
    if (port.isOpen()) {
        messages_.show(QString::fromLatin1(texts::ComportOpenAlready));
        return;
    }
    // The settings dialog follows the child-window protocol without the poller: the
    // port is closed while it is open.
    // The settings live as long as the connection below: the dialog only writes them when OK
    // is pressed, and a dialog freed with the main window applies nothing.
    auto settings = std::make_shared<PortSettings>(port.settings());
    auto *dialog = new TForm_COMM(*settings, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    setEnabled(false);
    dialog->setEnabled(true);
    // Tied to the connection, which the main window frees before its child windows.
    connect(dialog, &QObject::destroyed, &connection_, [this, settings] {
        connection_.port().applySettings(*settings);
        SavePortChoices(*settings);
        setEnabled(true);
        PauseKeepingEvents(kSettingsPauseMs);
    });
    dialog->show();
}

void TForm_Main::BtnON_LineClick()
{
    TForm_ID dialog(this);
    connect(&dialog, &TForm_ID::Btn_ConfirmClick, this, &TForm_Main::startWatchdog);
    dialog.exec();
    onLineSequence(dialog.stationText());
}

void TForm_Main::startWatchdog()
{
    connection_.startWatchdog();
}

bool TForm_Main::onLineSequence(const QString &stationText)
{
    if (!connection_.goOnLine(stationText))
        return false;
    const ComPort &port = connection_.port();
    const PortSettings &s = port.settings();
    // The port number as set; a port chosen by name shows a short form of it.
    QString portText = QString::number(s.ComNumber);
    if (port.portName() == QLatin1String(texts::SimulatedDrive))
        portText = QStringLiteral("SIM");
    else if (!s.device.isEmpty() || s.ComNumber == 0)
        portText = QFileInfo(port.portName()).fileName();
    statusPanels_[0]->setText(QStringLiteral("Port: %1").arg(portText));
    statusPanels_[0]->setToolTip(port.portName());
    statusPanels_[1]->setText(QStringLiteral("Baud: %1").arg(s.Baud));
    statusPanels_[2]->setText(QStringLiteral("Data: %1").arg(s.DataBits));
    statusPanels_[3]->setText(QStringLiteral("Stop: %1").arg(s.StopBits));
    statusPanels_[4]->setText(QStringLiteral("Parity:%1").arg(parityName(s.Parity)));
    return true;
}

void TForm_Main::showOnLineState(bool onLine)
{
    onLineButton_->setEnabled(!onLine);
    offLineButton_->setEnabled(onLine);
    for (QPushButton *b : driveButtons_)
        b->setEnabled(onLine);
    // Alarm Info explains the present alarm, so it is offered while on line.
    alarmDetailButton_->setEnabled(onLine);
    fileMenu_->menuAction()->setEnabled(onLine);
    toolsMenu_->menuAction()->setEnabled(onLine);
}

void TForm_Main::showLinkFailed()
{
    onLineButton_->setEnabled(true);
    offLineButton_->setEnabled(false);
}

void TForm_Main::showHalfOpen()
{
    onLineButton_->setEnabled(true);
    offLineButton_->setEnabled(true);
}

void TForm_Main::BtnOff_LineClick()
{
    connection_.goOffLine();
}

void TForm_Main::btnALS_DetailClick()
{
    const QString text = AlarmExplanation(monitor().PresentAlarmCode);
    if (!text.isEmpty())
        messages_.show(text);
}

// The alarm commands hold the link while they run; the poller comes back at normal priority.
void TForm_Main::btnALS_02Click()
{
    stopPoller();
    TThread_Alarm_RESET(session(), monitor(), *this).run();
    startPollerAt(QThread::NormalPriority);
}

void TForm_Main::btnALS_03Click()
{
    historyList_->clear();
    alarmHistory_.HistoryFillFlag = 1;
    stopPoller();
    readAlarmHistory();
    startPollerAt(QThread::NormalPriority);
}

void TForm_Main::btnALS_04Click()
{
    stopPoller();
    TThread_Alarm_History_Reset(session()).run();
    historyList_->clear();
    alarmHistory_.HistoryFillFlag = 1;
    PauseKeepingEvents(kHistoryRefillPauseMs);
    readAlarmHistory(); // also when the clear was refused: the old history comes back
    startPollerAt(QThread::NormalPriority);
}

void TForm_Main::readAlarmHistory()
{
    TThread_Alarm_History(session(), alarmHistory_, [this](const QString &line) { historyList_->addItem(line); }).run();
}

void TForm_Main::Timer_ChkComTimer()
{
    connection_.watchdogTick();
}

QString TForm_Main::statusPanelText(int panel) const
{
    return statusPanels_.at(size_t(panel))->text();
}

void TForm_Main::openParamPage(int group)
{
    QWidget *page = children_.open([this, group] { return CreateParamPage(group, session(), paramTexts_, this); });
    // Pin assignments may have changed: the poller relabels the lamps after these pages.
    // Tied to the connection: a page freed with the main window must not reach back into it.
    if (page && (group == 2 || group == 7 || group == 8)) {
        MonitorState &state = monitor();
        connect(page, &QObject::destroyed, &connection_, [&state] { state.LabelRefreshCount = 0; });
    }
}

void TForm_Main::UpLoad1Click() { files_->UpLoad1Click(); }
void TForm_Main::OPEN1Click() { files_->OPEN1Click(); }
void TForm_Main::Download1Click() { files_->Download1Click(); }

void TForm_Main::INPUT_PORTClick()
{
    children_.open([this] { return new TForm_Input_IO(session(), this); });
}

void TForm_Main::BtnJOGClick()
{
    children_.open([this] { return new TForm_JOG(session(), this); });
}

void TForm_Main::BtnAuto_JogClick()
{
    children_.open([this] { return new TForm_AUTOJOG(session(), this); });
}

void TForm_Main::Monitor1Click()
{
    children_.open([this] { return new TForm_Chart(session(), chartMemory_, this); });
}

void TForm_Main::Report1Click()
{
    children_.open([this] { return new TForm_Report(session(), paramTexts_, alarmHistory_, *process_, this); });
}

void TForm_Main::BtnAutoTuneClick()
{
    auto *window = qobject_cast<TForm_AutoTuning *>(
        children_.open([this] { return new TForm_AutoTuning(session(), this); }));
    if (!window)
        return;
    // "Entrance": the gain tuning chart, which holds the auto tuning window while it is open.
    window->setEntranceAction([this, window] {
        auto *chart = new TForm_Chart1(session(), chartMemory_, window, [window] { window->readAll(); });
        chart->setAttribute(Qt::WA_DeleteOnClose);
        chart->show();
    });
}

void TForm_Main::BtnManuTuneClick()
{
    children_.open([this] { return new TForm_ManualTuning(session(), this); });
}

void TForm_Main::BtnexitClick() { close(); }
void TForm_Main::EXIT1Click() { BtnexitClick(); }
void TForm_Main::NorvaneHomePage1Click() { QDesktopServices::openUrl(QUrl(QLatin1String(companyWebAddress()))); }
void TForm_Main::QuellixHomePage1Click() { QDesktopServices::openUrl(QUrl(QLatin1String(driveMakerWebAddress()))); }

// Neither window talks to the drive: they leave the main window usable.
void TForm_Main::ViewConnection1Click() { (new TForm_Connection(this))->show(); }
void TForm_Main::About1Click() { (new TForm_About(this))->show(); }

void TForm_Main::stopPoller()
{
    connection_.stopPoller();
}

void TForm_Main::startPoller()
{
    connection_.startPollerAt(QThread::TimeCriticalPriority);
}

void TForm_Main::setPowerLamp(bool on) { powerLamp_->setValue(on); }
void TForm_Main::setInputLabel(int pin, const QString &text) { inputLabels_.at(size_t(pin))->setText(text); }
void TForm_Main::setOutputLabel(int label, const QString &text) { outputLabels_.at(size_t(label))->setText(text); }
void TForm_Main::setInputLamp(int pin, bool on) { inputLamps_.at(size_t(pin))->setValue(on); }
void TForm_Main::setOutputLamp(int lamp, bool on) { outputLamps_.at(size_t(lamp))->setValue(on); }
void TForm_Main::setPresentAlarm(const QString &name) { presentAlarm_->setText(name); }
void TForm_Main::setAlarmLamp(bool on) { alarmLamp_->setValue(on); }
void TForm_Main::setServoLamp(bool on) { servoLamp_->setValue(on); }

void TForm_Main::setStatusText(int item, const QString &text)
{
    if (QLabel *box = statusBoxes_.at(size_t(item)))
        box->setText(text);
}

const char *TForm_Main::companyWebAddress() { return "https://www.norvane.example/"; }
const char *TForm_Main::driveMakerWebAddress() { return "https://servo.quellix.example/"; }

QString TForm_Main::companionProgram()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(kCompanion));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QLatin1String(kCompanion));
}

void TForm_Main::launchCompanion()
{
    const QString program = companionProgram();
    if (!program.isEmpty())
        QProcess::startDetached(program, {}); // the outcome is not the user's concern
}

bool TForm_Main::saveChangeRecord()
{
    ChangeRecord &record = session().changes;
    const std::vector<ChangeEntry> entries = record.entries();
    const QByteArray csv = ChangeRecordCsv(entries);
    if (!SaveThroughDialog(messages_, QStringLiteral("csv"), QStringLiteral("change record"),
                           [&csv](const QString &path, QString *error) { return WriteFileAtomically(path, csv, error); }))
        return false;
    record.markSaved(entries.size());
    return true;
}

void TForm_Main::closeEvent(QCloseEvent *event)
{
    // Writes sent this session and not yet saved: offered before they are gone.
    if (const size_t unsaved = session().changes.unsaved(); unsaved > 0
        && messages_.askYesNo(QStringLiteral("%1 parameter write(s) of this session are not saved in a change record. "
                                             "Save the change record?").arg(unsaved)))
        saveChangeRecord();
    connection_.shutdown();
    launchCompanion();
    event->accept();
}

} // namespace velmora
