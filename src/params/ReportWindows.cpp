#include "params/ReportWindows.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"

namespace velmora {

TForm_FileView::TForm_FileView(const char *objectName, const QString &caption, const QSize &client,
                               const char *memoName, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::WindowStaysOnTopHint)
{
    setObjectName(QLatin1String(objectName));
    setWindowTitle(caption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(client);
    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QLatin1String(memoName));
    memo_->setReadOnly(true);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto *close = new GradRoundBtn(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("Button1"));
    close->setMinimumHeight(30);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(memo_);
    layout->addWidget(close);
    CentreOnScreen(this);
}

void TForm_FileView::setLines(const QStringList &lines)
{
    memo_->setPlainText(lines.join(QLatin1Char('\n')));
}

TForm_Save_Report::TForm_Save_Report(QWidget *parent)
    : TForm_FileView("TForm_Save_Report", QStringLiteral("Save Report"), QSize(335, 411), "Memo_Save", parent)
{
}

TForm_OPEN_REPORT::TForm_OPEN_REPORT(QWidget *parent)
    : TForm_FileView("TForm_OPEN_REPORT", QStringLiteral("Open Report"), QSize(337, 434), "Memo_OPEN", parent)
{
}

} // namespace velmora
