#pragma once

#include <QRect>
#include <QString>

class QLabel;
class QWidget;

namespace velmora {

// A sunken, white, centred read-only text box, as the windows show drive values in.
QLabel *SunkenText(QWidget *parent, const QString &text, const QRect &geometry);

} // namespace velmora
