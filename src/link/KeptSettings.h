#pragma once

// Choices kept from one run of the program to the next (the port settings, the station
// number, the folders of the file dialogs, the monitoring window's signals). Off until the
// program turns them on, so tests and the command line never read or write the user's
// settings; where nothing is stored yet, the callers' start states apply.

#include <QString>
#include <QVariant>

#include "link/DrivePort.h"

namespace velmora {

class KeptSettings {
public:
    // On, in the platform's usual place for the application (organisation and application
    // names), or in an INI file when one is named.
    static void enable(const QString &iniFile = {});
    static void disable();
    static bool enabled();
    // The stored value, or fallback when off or nothing is stored.
    static QVariant value(const QString &key, const QVariant &fallback = {});
    // Stored at once when on; nothing happens when off.
    static void setValue(const QString &key, const QVariant &value);
};

// The Comport dialog's choices (port number, baud, data bits, parity, stop bits, flow,
// RS-485 mode) and the USB adapter last chosen:
// loaded over what settings hold, saved from them. The device path and the simulate
// switch come from the command line and are never kept.
void LoadPortChoices(PortSettings &settings);
void SavePortChoices(const PortSettings &settings);

} // namespace velmora
