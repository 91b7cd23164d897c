#pragma once

class QWidget;

namespace velmora {

// Centres a window, frame included, on the screen it is on (not over its parent).
void CentreOnScreen(QWidget *window);

} // namespace velmora
