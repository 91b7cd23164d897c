#pragma once

#include <QStringList>

namespace velmora {

// velmora-cli: read, write and status against a drive, from the command line.
// Returns the process exit code: 0 done, 1 the command's negative answer (refused, differ,
// nothing answered, a station not saved), 2 bad usage, 3 a communication failure, 4 a file
// error, 5 a port that could not be opened (--help lists them).
int RunCli(const QStringList &arguments);

} // namespace velmora
