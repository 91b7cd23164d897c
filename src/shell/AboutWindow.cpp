#include "shell/AboutWindow.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {
constexpr char kCaption[] = "About";
constexpr char kProductName[] = "Velmora";
constexpr char kVersion[] = "Version " VELMORA_VERSION;
constexpr char kComments[] = "Commissioning tool for the VD-840 servo drive.";
} // namespace

TForm_About::TForm_About(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form_About"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *name = new QLabel(QString::fromLatin1(kProductName), this);
    name->setObjectName(QStringLiteral("ProductName"));
    QFont big = name->font();
    big.setBold(true);
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * 1.6);
    else
        big.setPixelSize(big.pixelSize() * 8 / 5);
    name->setFont(big);

    auto *version = new QLabel(QString::fromLatin1(kVersion), this);
    version->setObjectName(QStringLiteral("Version"));

    auto *comments = new QLabel(QString::fromLatin1(kComments), this);
    comments->setObjectName(QStringLiteral("Comments"));

    auto *rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKButton"));
    buttons->setCenterButtons(true);
    // accept() closes the dialog, and WA_DeleteOnClose frees it.
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 14);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    layout->addWidget(version, 0, Qt::AlignHCenter);
    layout->addSpacing(6);
    layout->addWidget(comments, 0, Qt::AlignHCenter);
    layout->addSpacing(6);
    layout->addWidget(rule);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

} // namespace velmora
