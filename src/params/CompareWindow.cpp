#include "params/CompareWindow.h"

#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "widgets/Placement.h"

namespace velmora {

namespace {
enum Column { Tick, Id, Name, File, Drive, Unit, Columns };
const QColor kDiffers(255, 236, 200);
} // namespace

TForm_Compare::TForm_Compare(const QString &fileName, bool canWrite, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TForm_Compare"));
    setWindowTitle(QStringLiteral("Compare with Drive: %1").arg(fileName));
    resize(700, 560);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("lbl_CompareSummary"));
    table_ = new QTableWidget(0, Columns, this);
    table_->setObjectName(QStringLiteral("tbl_Compare"));
    table_->setHorizontalHeaderLabels({QString(), QStringLiteral("Parameter"), QStringLiteral("Name"),
                                       QStringLiteral("File"), QStringLiteral("Drive"), QStringLiteral("Unit")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->horizontalHeader()->setSectionResizeMode(Name, QHeaderView::Stretch);
    table_->setColumnHidden(Tick, !canWrite);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    if (canWrite) {
        auto *all = new QPushButton(QStringLiteral("Tick All"), this);
        all->setObjectName(QStringLiteral("btn_TickAll"));
        connect(all, &QPushButton::clicked, this, [this] { tickAll(ticked().size() < size_t(comparison_.differing)); });
        write_ = new QPushButton(QStringLiteral("Write Ticked"), this);
        write_->setObjectName(QStringLiteral("btn_WriteTicked"));
        write_->setEnabled(false);
        connect(write_, &QPushButton::clicked, this, [this] {
            if (!ticked().empty())
                emit writeTicked(ticked());
        });
        buttons->addWidget(all);
        buttons->addWidget(write_);
    }
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (write_ && item->column() == Tick)
            write_->setEnabled(!ticked().empty());
    });
    CentreOnScreen(this);
}

bool TForm_Compare::compare(DriveSession &session, const QStringList &fileLines, QString *error)
{
    summary_->setText(QStringLiteral("Reading the drive..."));
    DriveComparison c = CompareWithDrive(session, fileLines);
    if (!c.ok()) {
        comparison_ = {};
        table_->setRowCount(0);
        summary_->setText(QStringLiteral("Nothing compared: %1").arg(c.error));
        if (error)
            *error = c.error;
        return false;
    }
    showComparison(c);
    return true;
}

void TForm_Compare::showComparison(const DriveComparison &comparison)
{
    comparison_ = comparison;
    const QSignalBlocker quiet(table_);
    table_->setRowCount(0);
    std::vector<const ParamDifference *> order;
    for (const ParamDifference &d : comparison_.rows)
        if (d.differs)
            order.push_back(&d);
    for (const ParamDifference &d : comparison_.rows)
        if (!d.differs)
            order.push_back(&d);
    table_->setRowCount(int(order.size()));
    for (int r = 0; r < int(order.size()); ++r) {
        const ParamDifference &d = *order[size_t(r)];
        const QStringList texts{QString(), d.id, d.name, d.fileText, d.driveText, d.unit};
        for (int c = 0; c < Columns; ++c) {
            auto *item = new QTableWidgetItem(texts[c]);
            if (d.differs)
                item->setBackground(kDiffers);
            if (c == Tick && d.differs)
                item->setCheckState(Qt::Unchecked);
            table_->setItem(r, c, item);
        }
        if (d.differs)
            table_->item(r, Id)->setText(QStringLiteral("\u25B6 ") + d.id); // marked
    }
    table_->resizeColumnsToContents();
    summary_->setText(QStringLiteral("%1 of %2 parameters differ").arg(comparison_.differing).arg(comparison_.rows.size()));
    if (write_)
        write_->setEnabled(false);
}

std::set<QString> TForm_Compare::ticked() const
{
    std::set<QString> ids;
    for (int r = 0; r < table_->rowCount(); ++r) {
        const QTableWidgetItem *tick = table_->item(r, Tick);
        if (tick && tick->data(Qt::CheckStateRole).isValid() && tick->checkState() == Qt::Checked)
            ids.insert(table_->item(r, Id)->text().remove(QStringLiteral("\u25B6 ")));
    }
    return ids;
}

void TForm_Compare::tickAll(bool on)
{
    for (int r = 0; r < table_->rowCount(); ++r) {
        QTableWidgetItem *tick = table_->item(r, Tick);
        if (tick && tick->data(Qt::CheckStateRole).isValid())
            tick->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
}

} // namespace velmora
