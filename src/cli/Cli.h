#pragma once

#include <QStringList>

namespace velmora {

// velmora-cli: read, write and status against a drive, from the command line.
// Returns the process exit code: 0 done, 1 the drive or the value refused, 2 bad usage.
int RunCli(const QStringList &arguments);

} // namespace velmora
