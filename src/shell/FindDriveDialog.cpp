#include "shell/FindDriveDialog.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "link/KeptSettings.h"
#include "shell/DriveConnection.h"
#include "shell/MainWindow.h"

namespace velmora {

TForm_FindDrive::TForm_FindDrive(TForm_Main &main) : QDialog(&main), main_(main)
{
    setObjectName(QStringLiteral("TForm_FindDrive"));
    setWindowTitle(QStringLiteral("Find Drive"));
    ports_ = main_.port().pickablePorts();
    port_ = new QComboBox(this);
    port_->setObjectName(QStringLiteral("cmb_ScanPort"));
    for (const PortEntry &p : ports_)
        port_->addItem(p.displayText());
    if (const int known = FindAdapter(ports_, main_.port().settings().adapterSerial); known >= 0)
        port_->setCurrentIndex(known);
    from_ = new QSpinBox(this);
    from_->setObjectName(QStringLiteral("spn_FirstStation"));
    from_->setRange(1, 255);
    from_->setValue(1);
    to_ = new QSpinBox(this);
    to_->setObjectName(QStringLiteral("spn_LastStation"));
    to_->setRange(1, 255);
    to_->setValue(31);
    all_ = new QCheckBox(QStringLiteral("Scan all (do not stop at the first drive)"), this);
    all_->setObjectName(QStringLiteral("chk_ScanAll"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("bar_Scan"));
    progress_->setValue(0);
    state_ = new QLabel(QStringLiteral("Station 1 is tried first at each baud rate. Nothing is written."), this);
    state_->setObjectName(QStringLiteral("lbl_ScanState"));
    state_->setWordWrap(true);
    table_ = new QTableWidget(0, 4, this);
    table_->setObjectName(QStringLiteral("tbl_Found"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("Baud"), QStringLiteral("Station"),
                                       QStringLiteral("Program version")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setStretchLastSection(true);
    scan_ = new QPushButton(QStringLiteral("Scan"), this);
    scan_->setObjectName(QStringLiteral("btn_Scan"));
    use_ = new QPushButton(QStringLiteral("Go On-Line"), this);
    use_->setObjectName(QStringLiteral("btn_UseDrive"));
    use_->setEnabled(false);
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    connect(scan_, &QPushButton::clicked, this, [this] {
        if (scanning())
            cancel();
        else
            scan();
    });
    connect(use_, &QPushButton::clicked, this, [this] { useRow(table_->currentRow()); });
    connect(table_, &QTableWidget::itemDoubleClicked, this, [this](QTableWidgetItem *item) { useRow(item->row()); });
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row) { use_->setEnabled(row >= 0 && !scanning()); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Port"), port_);
    auto *range = new QHBoxLayout;
    range->addWidget(from_);
    range->addWidget(new QLabel(QStringLiteral("to"), this));
    range->addWidget(to_);
    range->addStretch();
    form->addRow(QStringLiteral("Stations"), range);
    form->addRow(QString(), all_);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(scan_);
    buttons->addStretch();
    buttons->addWidget(use_);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(state_);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    resize(480, 380);
}

PortSettings TForm_FindDrive::settingsFor(int index) const
{
    PortSettings s = main_.port().settings();
    const PortEntry &entry = ports_.at(index);
    s.simulate = entry.simulated;
    s.device.clear();
    // The n-th device of the list, as the Comport dialog counts: the simulated drive, listed
    // among them, is not one. Opening it keeps the adapter's serial number.
    if (!entry.simulated)
        s.ComNumber = 1 + int(std::count_if(ports_.begin(), ports_.begin() + index,
                                            [](const PortEntry &p) { return !p.simulated; }));
    return s;
}

ScanResult TForm_FindDrive::scan()
{
    ScanResult result;
    const int index = port_->currentIndex();
    if (index < 0 || index >= ports_.size() || scanning())
        return result;
    if (main_.connection().state() != DriveConnection::State::OffLine) {
        state_->setText(QStringLiteral("Go off line first: the scan uses the link's port."));
        return result;
    }
    ScanOptions options;
    options.port = settingsFor(index);
    options.firstStation = std::min(from_->value(), to_->value());
    options.lastStation = std::max(from_->value(), to_->value());
    options.all = all_->isChecked();

    DriveSession &session = main_.session();
    const bool wasDown = session.isLinkDown();
    const DriveSession::DownReason why = session.linkDownReason();
    session.setLinkDown(false);
    DriveScanner scanner(session);
    scanner_ = &scanner;
    scanner.setProgress([this](int tried, int total) {
        progress_->setRange(0, total);
        progress_->setValue(tried);
    });
    table_->setRowCount(0);
    found_.clear();
    for (QWidget *w : std::initializer_list<QWidget *>{port_, from_, to_, all_, use_})
        w->setEnabled(false);
    scan_->setText(QStringLiteral("Cancel"));
    state_->setText(QStringLiteral("Scanning %1...").arg(port_->currentText()));
    result = scanner.run(options);
    scanner_ = nullptr;
    if (wasDown)
        session.setLinkDown(true, why);
    for (QWidget *w : std::initializer_list<QWidget *>{port_, from_, to_, all_})
        w->setEnabled(true);
    scan_->setText(QStringLiteral("Scan"));
    if (!result.cancelled && result.ok())
        progress_->setValue(progress_->maximum()); // done, also when it stopped at the first drive

    for (const ScanHit &hit : result.hits) {
        const int row = table_->rowCount();
        table_->insertRow(row);
        const QStringList texts{hit.port, QString::number(hit.baud), QString::number(hit.station), hit.versionText};
        for (int c = 0; c < texts.size(); ++c)
            table_->setItem(row, c, new QTableWidgetItem(texts[c]));
        found_.emplace_back(index, hit);
    }
    if (!result.ok())
        state_->setText(QStringLiteral("The scan stopped: %1").arg(result.error));
    else if (result.cancelled)
        state_->setText(QStringLiteral("Cancelled after %1 of %2 tries.").arg(result.tried).arg(result.total));
    else if (result.hits.empty())
        state_->setText(QStringLiteral("No drive answered (%1 tries).").arg(result.tried));
    else
        state_->setText(QStringLiteral("%1 drive(s) found. Choose one to go on line with it.").arg(result.hits.size()));
    if (!found_.empty())
        table_->selectRow(0);
    use_->setEnabled(!found_.empty());
    return result;
}

void TForm_FindDrive::cancel()
{
    if (scanner_)
        scanner_->cancel();
}

bool TForm_FindDrive::useRow(int row)
{
    if (scanning() || row < 0 || row >= int(found_.size()))
        return false;
    const auto &[index, hit] = found_[size_t(row)];
    PortSettings s = settingsFor(index);
    s.Baud = hit.baud;
    main_.port().applySettings(s);
    SavePortChoices(s);
    const QString station = QString::number(hit.station);
    KeptSettings::setValue(QStringLiteral("link/station"), station);
    accept();
    return main_.onLineSequence(station);
}

} // namespace velmora
