#include "widgets/TextBoxes.h"

#include <QLabel>

namespace velmora {

QLabel *SunkenText(QWidget *parent, const QString &text, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    QPalette p = label->palette();
    p.setColor(QPalette::Window, Qt::white);
    label->setPalette(p);
    return label;
}

} // namespace velmora
