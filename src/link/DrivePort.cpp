#include "link/DrivePort.h"

namespace velmora {

QString parityName(PortSettings::ParityChoice p)
{
    switch (p) {
    case PortSettings::ParityChoice::None: return QStringLiteral("None");
    case PortSettings::ParityChoice::Even: return QStringLiteral("Even");
    case PortSettings::ParityChoice::Odd: return QStringLiteral("Odd");
    case PortSettings::ParityChoice::Mark: return QStringLiteral("Mark");
    case PortSettings::ParityChoice::Space: return QStringLiteral("Space");
    }
    return {};
}

} // namespace velmora
