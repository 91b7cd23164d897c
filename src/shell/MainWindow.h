#pragma once

// The main window: live status, I/O lamps and alarms of the drive, the buttons and menus
// that open every other window, and the owner of the serial link and its session.

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <memory>
#include <vector>

#include "link/ComPort.h"
#include "link/DriveSession.h"
#include "monitor/AlarmCommands.h"
#include "monitor/StatusPoller.h"
#include "params/ParamPages.h"
#include "shell/ChildWindow.h"
#include "shell/DriveConnection.h"
#include "tuning/ChartOps.h"

class QAction;
class QGroupBox;
class QListWidget;
class QMenu;

namespace velmora {

class MessageService;
class ThhALed;
class TForm_Process;

class FileCommands;

class TForm_Link;
class TForm_FindDrive;

class TForm_Main : public QMainWindow, public PollerHost, public MonitorView, public ConnectionView {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 792;
    static constexpr int kClientHeight = 545;
    static constexpr int kInitialStation = 50;
    static constexpr int kWatchdogIntervalMs = DriveConnection::kWatchdogIntervalMs;

    explicit TForm_Main(MessageService &messages, QWidget *parent = nullptr);
    ~TForm_Main() override;

    DriveConnection &connection() { return connection_; }
    DriveSession &session() { return connection_.session(); }
    ComPort &port() { return connection_.port(); }
    ChildWindowProtocol &childWindows() { return children_; }
    TForm_Process *processWindow() const { return process_.get(); }

    // The poller's display lists, gathered at creation: value boxes in item order (the
    // St-17 place empty), input lamps in pin order, output lamps in display order.
    const std::array<QLabel *, 18> &statusBoxes() const { return statusBoxes_; }
    const std::array<ThhALed *, 12> &inputLamps() const { return inputLamps_; }
    const std::array<ThhALed *, 10> &outputLamps() const { return outputLamps_; }

    // The parameter page buttons btnP1 .. btnP9.
    void openParamPage(int group);
    ParamTexts &paramTexts() { return paramTexts_; }
    // What the chart windows keep between openings.
    ChartMemory &chartMemory() { return chartMemory_; }

    // View -> Link (also Ctrl+L from any window of the program): the link panel, shown and
    // raised; one panel for the run.
    TForm_Link *openLinkPanel();
    // Config -> "Find Drive...": scans a port for drives while off line (window-modal).
    TForm_FindDrive *findDrive();
    // What polls or samples now and how fast, for the panel.
    QString linkActivity();

    // "Read(PC<-SERVO)": every group from the drive into a parameter file.
    void UpLoad1Click();
    // "Open": shows a parameter file.
    void OPEN1Click();
    // File -> "Save Change Record...": every write of this session as CSV. Also offered when
    // the window closes with writes not yet saved.
    bool saveChangeRecord();
    // "Write(PC->SERVO)": a parameter file into the drive, through TForm_DownLoad.
    void Download1Click();
    // "Input Control": the input signal control panel.
    void INPUT_PORTClick();
    // "Jog" and "Auto Jog": the jog and programmed-jog windows.
    void BtnJOGClick();
    void BtnAuto_JogClick();
    // "Report": the parameter report.
    void Report1Click();
    // "Monitor": the monitoring window.
    void Monitor1Click();
    // "Auto Tuning": the auto tuning window, and from it the gain tuning chart.
    void BtnAutoTuneClick();
    // "Manual Tuning": the manual tuning window.
    void BtnManuTuneClick();

    void BtnexitClick();
    void EXIT1Click();
    void About1Click();
    void ViewConnection1Click();
    void NorvaneHomePage1Click();
    void QuellixHomePage1Click();

    // ---- connection ----
    // "Config" / "Commport": the settings dialog, unless the port is open.
    void SET1Click();
    // On-Line: asks for the station number, then runs the on-line sequence.
    void BtnON_LineClick();
    // The on-line sequence with the station text of the on-line dialog. False when it
    // stopped at an error (the message has been shown).
    bool onLineSequence(const QString &stationText);
    // Confirm in the on-line dialog: the link watchdog starts counting.
    void startWatchdog();
    // The Off-Line action (also run when the receiver gives up or the device goes away).
    void BtnOff_LineClick();
    void Timer_ChkComTimer();
    // "Alarm Info": the cause and remedy of the present alarm.
    void btnALS_DetailClick();
    // Alarm "Reset", history "Display" and history "Reset".
    void btnALS_02Click();
    void btnALS_03Click();
    void btnALS_04Click();
    const AlarmHistoryState &alarmHistory() const { return alarmHistory_; }
    QTimer &watchdogTimer() { return connection_.watchdogTimer(); }
    QString statusPanelText(int panel) const;

    // PollerHost: the one status poller.
    void stopPoller() override;
    void startPoller() override;
    // The file commands restart it at normal priority.
    void startPollerAt(QThread::Priority priority) { connection_.startPollerAt(priority); }
    QThread::Priority pollerPriority() const { return connection_.pollerPriority(); }
    int pollersStarted() const { return connection_.pollersStarted(); }
    bool pollerRunning() const { return connection_.pollerRunning(); }
    TThread_ST_ALS_READ *poller() const { return connection_.poller(); }
    MonitorState &monitor() { return connection_.monitor(); }

    // ConnectionView
    void showOnLineState(bool onLine) override;
    void showLinkFailed() override;
    void showHalfOpen() override;
    bool childWindowOpen() const override { return !isEnabled(); }

    // MonitorView
    void setPowerLamp(bool on) override;
    void setInputLabel(int pin, const QString &text) override;
    void setOutputLabel(int label, const QString &text) override;
    void setStatusText(int item, const QString &text) override;
    void setInputLamp(int pin, bool on) override;
    void setOutputLamp(int lamp, bool on) override;
    void setPresentAlarm(const QString &name) override;
    void setAlarmLamp(bool on) override;
    void setServoLamp(bool on) override;

    // The companion program asked for when the main window closes.
    static QString companionProgram();
    static const char *companyWebAddress();
    static const char *driveMakerWebAddress();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void readAlarmHistory();
    void buildStatusGroup(QWidget *client);
    void buildIoGroup(QWidget *client);
    void buildServoGroup(QWidget *client);
    void buildModeGroups(QWidget *client);
    void buildAlarmGroup(QWidget *client);
    void buildMenus();
    QPushButton *addButton(QWidget *parent, const char *name, const char *caption, const QRect &geometry,
                           bool enabled);
    void launchCompanion();

    MessageService &messages_;
    DriveConnection connection_;
    ChildWindowProtocol children_;
    std::unique_ptr<TForm_Process> process_;
    std::unique_ptr<FileCommands> files_;
    std::unique_ptr<TForm_Link> linkPanel_;
    struct ActivityMark {
        const void *source = nullptr;
        qint64 count = 0;
        qint64 atMs = 0;
    } activityMark_;

    std::array<QLabel *, 18> statusBoxes_{};
    std::array<ThhALed *, 12> inputLamps_{};
    std::array<ThhALed *, 10> outputLamps_{};
    std::array<QLabel *, 5> statusPanels_{};
    std::array<QLabel *, 12> inputLabels_{};  // pin order
    std::array<QLabel *, 10> outputLabels_{}; // Lbl_Output_01 first
    // The buttons and menus that follow the link's state.
    QPushButton *onLineButton_ = nullptr;
    QPushButton *offLineButton_ = nullptr;
    QPushButton *alarmDetailButton_ = nullptr;
    std::vector<QPushButton *> driveButtons_; // pages, alarm commands, jog and tuning
    QMenu *fileMenu_ = nullptr;
    QMenu *toolsMenu_ = nullptr;
    ThhALed *powerLamp_ = nullptr;
    ThhALed *servoLamp_ = nullptr;
    ThhALed *alarmLamp_ = nullptr;
    QLabel *presentAlarm_ = nullptr;
    AlarmHistoryState alarmHistory_;
    QListWidget *historyList_ = nullptr;
    ParamTexts paramTexts_;
    ChartMemory chartMemory_;
};

} // namespace velmora
