// Going on line and off line: the settings dialog, the station number, the button and menu
// states, the status bar, the link watchdog and a device that goes away.
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QCheckBox>
#include <QTest>
#include <QTimer>

#include <memory>

#include "SimDrive.h"
#include "SimulatedPort.h"
#include "link/MessageService.h"
#include "link/Texts.h"
#include "link/KeptSettings.h"
#include "shell/CommDialogs.h"
#include "shell/SelectPortDialog.h"
#include "shell/MainWindow.h"
#include "MainRig.h"

using namespace velmora;

namespace {

const char *const kDriveButtons[] = {"btnP1",     "BtnP2",     "BtnP3",     "BtnP4",  "BtnP5",       "btnP6",
                                     "btnP7",     "btnP8",     "btnP9",     "BtnJOG", "BtnAuto_Jog", "BtnAutoTune",
                                     "btnALS_02", "btnALS_03", "btnALS_04", "BtnManuTune"};

} // namespace

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void settingsDialogStoresOnlySelectedItems()
    {
        PortSettings s;
        s.ComNumber = 5;
        s.Baud = 19200;
        s.DataBits = 7;
        s.StopBits = 2;
        {
            TForm_COMM dialog(s);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Comport Set"));
            QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("COMBOX_BAUD"))->currentText(), QStringLiteral("9600"));
            dialog.btnOKClick();
        }
        // Data and stop bits are selected at opening; port and baud are not.
        QCOMPARE(s.ComNumber, 5);
        QCOMPARE(s.Baud, 19200);
        QCOMPARE(s.DataBits, 8);
        QCOMPARE(s.StopBits, 1);
        QCOMPARE(s.Parity, PortSettings::ParityChoice::None);
        QVERIFY(!s.SWFlowOptions);

        TForm_COMM dialog(s);
        dialog.findChild<QComboBox *>(QStringLiteral("COMBOX_NUM"))->setCurrentIndex(3);
        dialog.findChild<QComboBox *>(QStringLiteral("COMBOX_BAUD"))->setCurrentIndex(6);
        dialog.findChild<QComboBox *>(QStringLiteral("COMBOX_Parity"))->setCurrentIndex(0);
        dialog.findChild<QComboBox *>(QStringLiteral("COMBOX_Flow"))->setCurrentIndex(0);
        dialog.btnOKClick();
        QCOMPARE(s.ComNumber, 3);
        QCOMPARE(s.Baud, 57600);
        QCOMPARE(s.Parity, PortSettings::ParityChoice::Even);
        QVERIFY(s.SWFlowOptions);
    }

    // RS-485 mode is one tick in the port settings; it and the adapter last chosen (by its
    // serial number) are kept between runs.
    void rs485ModeAndAdapterKept()
    {
        PortSettings s;
        {
            TForm_COMM dialog(s);
            auto *box = dialog.findChild<QCheckBox *>(QStringLiteral("chk_Rs485"));
            QVERIFY(box && !box->isChecked());
            box->setChecked(true);
            dialog.btnOKClick();
        }
        QVERIFY(s.rs485);
        {
            TForm_COMM dialog(s);
            QVERIFY(dialog.findChild<QCheckBox *>(QStringLiteral("chk_Rs485"))->isChecked());
        }
        QTemporaryDir dir;
        KeptSettings::enable(dir.filePath(QStringLiteral("kept.ini")));
        s.adapterSerial = QStringLiteral("A10K3XYZ");
        SavePortChoices(s);
        PortSettings next;
        LoadPortChoices(next);
        KeptSettings::disable();
        QVERIFY(next.rs485);
        QCOMPARE(next.adapterSerial, QStringLiteral("A10K3XYZ"));
    }

    void onLineAndOffLineStates()
    {
        MainRig rig;
        rig.usePort(3, 19200);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.main.port().isOpen());
        QVERIFY(!rig.button("BtnON_Line")->isEnabled());
        QVERIFY(rig.button("BtnOFF_LINE")->isEnabled());
        for (const char *name : kDriveButtons)
            QVERIFY2(rig.button(name)->isEnabled(), name);
        QVERIFY(rig.button("btnALS_Detail")->isEnabled());
        QVERIFY(rig.menuEnabled("File1") && rig.menuEnabled("TOOLS1"));
        QCOMPARE(rig.main.pollersStarted(), 1);
        const QStringList panels{QStringLiteral("Port: 3"), QStringLiteral("Baud: 19200"), QStringLiteral("Data: 8"),
                                 QStringLiteral("Stop: 1"), QStringLiteral("Parity:None")};
        for (int i = 0; i < 5; ++i)
            QCOMPARE(rig.main.statusPanelText(i), panels[i]);

        // The settings dialog is refused while the port is open.
        rig.main.findChild<QAction *>(QStringLiteral("SET1"))->trigger();
        QCOMPARE(rig.messages.shown, QStringList{QString::fromLatin1(texts::ComportOpenAlready)});

        rig.main.BtnOff_LineClick();
        QVERIFY(!rig.main.port().isOpen());
        QVERIFY(!rig.main.pollerRunning());
        QVERIFY(rig.button("BtnON_Line")->isEnabled());
        QVERIFY(!rig.button("BtnOFF_LINE")->isEnabled());
        for (const char *name : kDriveButtons)
            QVERIFY2(!rig.button(name)->isEnabled(), name);
        QVERIFY(!rig.menuEnabled("File1") && !rig.menuEnabled("TOOLS1"));
    }

    void stationNumberText()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("40")));
        QCOMPARE(int(rig.main.session().req.stationNumber), 40);
        rig.main.BtnOff_LineClick();
        QVERIFY(rig.main.onLineSequence(QStringLiteral("300")));
        QCOMPARE(int(rig.main.session().req.stationNumber), 44);
        rig.main.BtnOff_LineClick();

        // A letter: the port stays open, the buttons keep their off-line state.
        QVERIFY(!rig.main.onLineSequence(QStringLiteral("a")));
        QCOMPARE(rig.messages.shown.last(), QString::fromLatin1(texts::ComportSettingError));
        QVERIFY(rig.main.port().isOpen());
        QVERIFY(!rig.button("btnP1")->isEnabled());
        QCOMPARE(rig.main.pollersStarted(), 2);
        // On-Line from there uses the open port.
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.button("btnP1")->isEnabled());
    }

    void portThatCannotOpen()
    {
        MainRig rig;
        rig.usePort(7); // only three devices
        QVERIFY(!rig.main.onLineSequence(QStringLiteral("1")));
        QCOMPARE(rig.messages.shown.last(), QString::fromLatin1(texts::ComportOpenError));
        QVERIFY(rig.messages.details.last().contains(QStringLiteral("7")));
        QVERIFY(rig.button("BtnON_Line")->isEnabled());
        QCOMPARE(rig.main.pollersStarted(), 0);
    }

    void watchdogReportsASilentDrive()
    {
        MainRig rig;
        rig.drive->setSilent(true);
        rig.usePort(1);
        rig.main.watchdogTimer().setInterval(5);
        rig.main.startWatchdog();
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.main.watchdogTimer().isActive(), 2000);
        QVERIFY(!rig.messages.shown.isEmpty());
        // The poller sees the failure at the top of its next cycle, says so once more
        // and gives back the On-Line button; the port stays open.
        QTRY_VERIFY_WITH_TIMEOUT(rig.main.poller() && rig.main.poller()->isFinished()
                                     && rig.button("BtnON_Line")->isEnabled(), 5000);
        QVERIFY(rig.button("BtnON_Line")->isEnabled());
        QVERIFY(!rig.button("BtnOFF_LINE")->isEnabled());
        QVERIFY(rig.main.port().isOpen());
        QVERIFY(rig.messages.shown.size() <= 2);
        for (const QString &text : rig.messages.shown)
            QCOMPARE(text, QString::fromLatin1(texts::CheckComport));
    }

    void offLineStopsTheWatchdog()
    {
        MainRig rig;
        rig.drive->setSilent(true);
        rig.usePort(1);
        rig.main.watchdogTimer().setInterval(5);
        rig.main.startWatchdog();
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        rig.main.BtnOff_LineClick();
        QVERIFY(!rig.main.watchdogTimer().isActive());
        QTest::qWait(100); // well past fifteen ticks of the shortened watchdog
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void newUserGoesOnLineWithTheSimulatedDrive()
    {
        // On-Line, Confirm, "Simulated VD-840", OK: the dialogs are answered as they come.
        MainRig rig;
        rig.main.port().setChooser([&rig](const QList<PortEntry> &ports) {
            SelectPortDialog dialog(ports, {}, &rig.main);
            QTimer::singleShot(0, &dialog, [&dialog] {
                auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("ComboPorts"));
                combo->setCurrentIndex(combo->findText(QString::fromLatin1(texts::SimulatedDrive), Qt::MatchStartsWith));
                dialog.accept();
            });
            dialog.exec();
            return dialog.chosen();
        });
        QTimer::singleShot(0, &rig.main, [] {
            QWidget *modal = QApplication::activeModalWidget();
            QVERIFY(modal && modal->objectName() == QLatin1String("TForm_ID"));
            QCOMPARE(modal->windowTitle(), QStringLiteral("Form_ID"));
            modal->findChild<QPushButton *>(QStringLiteral("Btn_Confirm"))->click();
        });
        rig.button("BtnON_Line")->click();
        QVERIFY(rig.main.port().isOpen());
        QCOMPARE(rig.main.port().portName(), QString::fromLatin1(texts::SimulatedDrive));
        QVERIFY(rig.main.watchdogTimer().isActive());
        QCOMPARE(int(rig.main.session().req.stationNumber), 1);
        QCOMPARE(rig.main.statusPanelText(0), QStringLiteral("Port: SIM"));
        QTRY_VERIFY(rig.main.poller() && rig.main.poller()->cyclesDone() > 0);
        QVERIFY(rig.messages.shown.isEmpty());
    }

    void closingTheMainWindowStopsThePoller()
    {
        MainRig rig;
        rig.usePort(1);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        rig.main.close();
        QVERIFY(!rig.main.pollerRunning());
        QVERIFY(rig.main.poller() == nullptr);
        QVERIFY(!rig.main.port().isOpen());
    }

    void companionProgramIsFoundOnThePath()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("VADAVO_Zuduze_VD-520.exe"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        const QByteArray saved = qgetenv("PATH");
        qputenv("PATH", dir.path().toLocal8Bit() + ':' + saved);
        const QString found = TForm_Main::companionProgram();
        qputenv("PATH", saved);
        QCOMPARE(found, path);
    }

    void unpluggedDeviceGoesOffLineOnce()
    {
        MainRig rig;
        rig.usePort(2);
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.lastPort);
        rig.lastPort->simulateUnplug();
        QTRY_VERIFY(!rig.main.port().isOpen());
        QCOMPARE(rig.messages.shown.size(), 1);
        QVERIFY(rig.messages.shown.first().contains(QStringLiteral("ttyFAKE1")));
        QVERIFY(rig.button("BtnON_Line")->isEnabled());
        // And back on line once the device is there again.
        QVERIFY(rig.main.onLineSequence(QStringLiteral("1")));
        QVERIFY(rig.main.port().isOpen());
    }
};

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
