#include "shell/CommDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "link/KeptSettings.h"
#include "widgets/GradientWidgets.h"

namespace velmora {

namespace {

QComboBox *addList(QFormLayout *form, const char *name, const char *label, const QStringList &items, bool editable)
{
    auto *combo = new QComboBox;
    combo->setObjectName(QLatin1String(name));
    combo->setEditable(editable);
    combo->addItems(items);
    combo->setCurrentIndex(-1);
    form->addRow(QString::fromLatin1(label), combo);
    return combo;
}

const PortSettings::ParityChoice kParityItems[] = {
    PortSettings::ParityChoice::Even, PortSettings::ParityChoice::Mark, PortSettings::ParityChoice::None,
    PortSettings::ParityChoice::Odd, PortSettings::ParityChoice::Space,
};

} // namespace

const QList<qint32> &TForm_COMM::baudRates()
{
    static const QList<qint32> rates{1200, 2400, 4800, 9600, 19200, 38400, 57600};
    return rates;
}

TForm_COMM::TForm_COMM(PortSettings &settings, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint), settings_(settings)
{
    setObjectName(QStringLiteral("TForm_COMM"));
    setWindowTitle(QStringLiteral("Comport Set"));
    auto *form = new QFormLayout;
    QStringList numbers;
    for (int i = 0; i <= 8; ++i)
        numbers << QString::number(i);
    QStringList bauds;
    for (qint32 b : baudRates())
        bauds << QString::number(b);
    COMBOX_NUM = addList(form, "COMBOX_NUM", "Comm Port:", numbers, false);
    COMBOX_BAUD = addList(form, "COMBOX_BAUD", "Baud Rate:", bauds, true);
    COMBOX_BAUD->setEditText(QStringLiteral("9600"));
    COMBOX_DATA = addList(form, "COMBOX_DATA", "Data bits:", {"5", "6", "7", "8"}, true);
    COMBOX_DATA->setCurrentIndex(3);
    COMBOX_STOP = addList(form, "COMBOX_STOP", "Stop bits:", {"1", "2"}, true);
    COMBOX_STOP->setCurrentIndex(0);
    COMBOX_Parity = addList(form, "COMBOX_Parity", "Parity:", {"pEven", "pMark", "pNone", "pOdd", "pSpace"}, false);
    COMBOX_Parity->setCurrentIndex(2);
    COMBOX_Flow = addList(form, "COMBOX_Flow", "Flow control:", {"swfBOTH", "swfNONE", "swfRECEIVE", "swfTRANSMITE"}, false);
    COMBOX_Flow->setCurrentIndex(1);
    // For adapters whose driver switches the line's direction itself; where the driver has
    // no such mode the port opens as before and the link panel says so.
    chk_Rs485 = new QCheckBox(QStringLiteral("RS-485 mode (the driver raises RTS while sending)"));
    chk_Rs485->setObjectName(QStringLiteral("chk_Rs485"));
    chk_Rs485->setChecked(settings_.rs485);
    chk_Rs485->setToolTip(QStringLiteral("Takes effect when the port is next opened (On-Line)."));
    form->addRow(QString(), chk_Rs485);

    auto *ok = new GradRoundBtn(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    ok->setMinimumHeight(30);
    connect(ok, &QPushButton::clicked, this, [this] {
        btnOKClick();
        close();
    });
    auto *box = new QVBoxLayout(this);
    box->addLayout(form);
    box->addWidget(ok);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm_COMM::btnOKClick()
{
    // An editable list whose text was typed rather than chosen has no selected item.
    auto selected = [](QComboBox *c) {
        return c->currentIndex() >= 0 && c->currentText() == c->itemText(c->currentIndex()) ? c->currentIndex() : -1;
    };
    if (int i = selected(COMBOX_NUM); i >= 0)
        settings_.ComNumber = i;
    if (int i = selected(COMBOX_BAUD); i >= 0)
        settings_.Baud = baudRates().at(i);
    if (int i = selected(COMBOX_DATA); i >= 0)
        settings_.DataBits = 5 + i;
    if (int i = selected(COMBOX_STOP); i >= 0)
        settings_.StopBits = 1 + i;
    if (int i = selected(COMBOX_Parity); i >= 0)
        settings_.Parity = kParityItems[i];
    // The port offers software flow control only in both directions at once.
    if (int i = selected(COMBOX_Flow); i >= 0)
        settings_.SWFlowOptions = i != 1;
    settings_.rs485 = chk_Rs485->isChecked();
}

TForm_ID::TForm_ID(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("TForm_ID"));
    setWindowTitle(QStringLiteral("Form_ID"));
    auto *heading = new GradBtn(QStringLiteral("Select the SERVO ID"));
    heading->setObjectName(QStringLiteral("GradBtn1"));
    heading->setEnabled(false);
    // A heading, not a button: readable though it takes no clicks.
    heading->setCaptionColor(QColor::fromRgba(GradientButton::EnabledCaption));
    heading->setMinimumSize(180, 28);
    ComboBox_ID = new QComboBox;
    ComboBox_ID->setObjectName(QStringLiteral("ComboBox_ID"));
    ComboBox_ID->setEditable(true);
    for (int i = 1; i <= 32; ++i)
        ComboBox_ID->addItem(QString::number(i));
    ComboBox_ID->setCurrentIndex(0);
    // The station used last time, where one is kept.
    const QString kept = KeptSettings::value(QStringLiteral("link/station")).toString();
    if (!kept.isEmpty())
        ComboBox_ID->setCurrentText(kept);
    auto *confirm = new GradRoundBtn(QStringLiteral("Confirm"));
    confirm->setObjectName(QStringLiteral("Btn_Confirm"));
    confirm->setDefault(true);
    confirm->setMinimumHeight(30);
    connect(confirm, &QPushButton::clicked, this, [this] {
        confirmed_ = true;
        KeptSettings::setValue(QStringLiteral("link/station"), stationText());
        emit Btn_ConfirmClick();
        accept();
    });
    auto *box = new QVBoxLayout(this);
    box->addWidget(heading);
    box->addWidget(ComboBox_ID);
    box->addWidget(confirm);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

QString TForm_ID::stationText() const
{
    return ComboBox_ID->currentText();
}

} // namespace velmora
