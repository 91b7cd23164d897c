#include "shell/SelectPortDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "link/Texts.h"

namespace velmora {

SelectPortDialog::SelectPortDialog(const QList<PortEntry> &ports, const QString &adapterSerial, QWidget *parent)
    : QDialog(parent), ports_(ports)
{
    setObjectName(QStringLiteral("SelectPortDialog"));
    setWindowTitle(QString::fromLatin1(texts::SelectPortCaption));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QString::fromLatin1(texts::SelectPortInvalid), this));
    layout->addWidget(new QLabel(QString::fromLatin1(texts::SelectPortChoose), this));
    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("ComboPorts"));
    for (const PortEntry &p : ports_)
        combo_->addItem(p.displayText());
    combo_->setCurrentIndex(ports_.isEmpty() ? -1 : std::max(0, FindAdapter(ports_, adapterSerial)));
    layout->addWidget(combo_);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("SelectPortButtons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<PortEntry> SelectPortDialog::chosen() const
{
    const int i = combo_->currentIndex();
    if (i < 0 || i >= ports_.size())
        return std::nullopt;
    return ports_.at(i);
}

std::optional<PortEntry> SelectPortDialog::choose(const QList<PortEntry> &ports, const QString &adapterSerial,
                                                  QWidget *parent)
{
    SelectPortDialog dialog(ports, adapterSerial, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosen();
}

} // namespace velmora
