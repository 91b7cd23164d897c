#pragma once

// The change record as a CSV file and as rows of text, each value shown as the parameter
// pages show it.

#include <QByteArray>
#include <QStringList>

#include <vector>

#include "link/ChangeRecord.h"

namespace velmora {

// Time, Station, Parameter, Register, Before, Written, Read back, Outcome.
QStringList ChangeRecordHeadings();
QStringList ChangeRecordRow(const ChangeEntry &entry);
QByteArray ChangeRecordCsv(const std::vector<ChangeEntry> &entries);

} // namespace velmora
