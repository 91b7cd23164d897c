#pragma once

#include <QString>

namespace velmora {

// The explanation of a present alarm by its display code (0 to 9: cause and remedy);
// empty for codes without one.
QString AlarmExplanation(int code);

} // namespace velmora
