#pragma once

class QString;
class QWidget;

namespace velmora {

// Centres a window, frame included, on the screen it is on (not over its parent). A window
// whose layout fixes its size is measured as the layout will make it.
void CentreOnScreen(QWidget *window);

// Makes the widget's text fit its width by a smaller font where it must (never below 6
// points), so a caption or name is never clipped.
void FitTextToWidth(QWidget *widget, const QString &text, int margin = 8);

} // namespace velmora
