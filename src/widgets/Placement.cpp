#include "widgets/Placement.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace velmora {

void CentreOnScreen(QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Before it is shown a window whose layout fixes its size still has its default size.
    if (!window->isVisible() && window->layout() && window->layout()->sizeConstraint() == QLayout::SetFixedSize)
        window->layout()->activate();
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void FitTextToWidth(QWidget *widget, const QString &text, int margin)
{
    QFont font = widget->font();
    const int room = widget->width() - margin;
    while (QFontMetrics(font).horizontalAdvance(text) > room && font.pointSizeF() > 6.0)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    widget->setFont(font);
}

} // namespace velmora
