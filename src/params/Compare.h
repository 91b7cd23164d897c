#pragma once

// Comparing the drive with a parameter file: the nine groups are read the way a backup
// reads them and set beside the file, parameter by parameter, in catalogue order. Shared
// by the command line and the windows; no widgets here.
//
// Values are compared as they display: the file's text is read as a number and shown at
// the parameter's decimals, the drive's value is shown the same way, and the two texts
// are compared. So "40", "40.0" and "40.00" in a file all equal a drive holding 40, and a
// difference too small to show is no difference. This is also how a restore checks what
// it wrote, so a file just restored compares equal. A file value no drive can hold (out of
// range, a fraction of a whole-number parameter) is shown as written and always differs.

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

#include "link/DriveSession.h"

namespace velmora {

// One parameter, file beside drive.
struct ParamDifference {
    QString id;        // "P3-05"
    QString name;      // the page caption without its unit: "Inertia"
    QString unit;      // from the caption's brackets: "gfcm^2"; empty when it has none
    QString fileText;  // the file's value at the parameter's decimals, or "default"
    QString driveText; // the drive's value as a backup writes it
    bool differs = false;
};

using GroupTexts = std::array<QStringList, 9>; // [g - 1]: one text per parameter of group g

// The groups of a parameter file's lines, checked for comparing: 161 lines, each group's
// marker in its place, every value a number. When P1-01 names a motor from the drive's
// list, P1-02 to P1-09 are "default" whatever the file holds there (a restore leaves them
// to the drive). Nothing, and *error saying where, for a file that fails.
std::optional<GroupTexts> ParamFileGroups(const QStringList &lines, QString *error = nullptr);

// The drive's groups as a backup reads them, one request a group. Groups without a good
// reply are listed with what became of them; once the link has failed the rest are not
// asked (unread), so a dead line costs the link's failure time, not nine waits.
struct DriveGroups {
    GroupTexts texts;
    std::vector<std::pair<int, ReplyOutcome>> failed; // group number, outcome
    std::vector<int> unread;
    bool complete() const { return failed.empty() && unread.empty(); }
};
DriveGroups ReadDriveGroups(DriveSession &s);

// Every parameter of file and drive side by side, in catalogue order.
std::vector<ParamDifference> CompareGroupTexts(const GroupTexts &file, const GroupTexts &drive);

struct DriveComparison {
    QString error;                     // set: nothing was compared (rows is empty)
    std::vector<ParamDifference> rows; // every parameter, in catalogue order
    int differing = 0;
    bool ok() const { return error.isEmpty(); }
    std::vector<ParamDifference> differences() const;
};

// Reads the drive and compares it with the file's lines (as ReadParamFileLines gives them).
// A bad file fails before anything is sent; a group the drive did not answer fails the
// comparison, naming the groups: no value is ever compared from an earlier read.
DriveComparison CompareWithDrive(DriveSession &s, const QStringList &fileLines);

// "P2, P5: no reply from station 1; P6 to P9 not read"
QString DescribeUnreadGroups(const DriveGroups &groups, uint8_t station);

} // namespace velmora
