#pragma once

// The parameter file (.vpf): nine blocks, each a marker line "[Pg--]" and one display text
// per parameter of the group, 161 lines, every line ended by CR LF. A line's meaning
// follows from its position alone.

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace velmora {

constexpr int kParamFileLines = 161;
// Lines of P1 that describe the motor; they read "default" for a motor from the drive's list.
constexpr int kFirstMotorLine = 1, kLastMotorLine = 8;
inline constexpr char kMotorDefault[] = "default";

// The marker line of a group, "[P1--]" .. "[P9--]".
QString ParamFileMarker(int group);

// When P1-01 (texts[0]) is a motor code other than 0, P1-02 to P1-09 become "default".
void ApplyMotorDefaults(QStringList &p1Texts);

// The 161 lines from the groups' texts (P1Texts .. P9Texts).
QStringList BuildParamFileLines(const std::array<QStringList, 9> &texts);

// Writes the lines with CR LF. The file is written beside the target and renamed over it
// only when complete, so a failed save never destroys the file it was to replace.
bool SaveParamFile(const QString &path, const QStringList &lines, QString *error = nullptr);

// The first 161 lines of a file, each cut to a sane length, anything but printable ASCII
// shown as a replacement character; nothing when the file cannot be read. Reading stops
// early, so a huge or binary file costs no more than 161 short lines.
std::optional<QStringList> ReadParamFileLines(const QString &path);

} // namespace velmora
