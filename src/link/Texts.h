#pragma once

// The system's own message and caption texts, each written once. They are shown exactly
// as they stand, spelling included.

namespace velmora::texts {

inline constexpr char CrcErrorLimit[] = "CRC Error Occures more than 6 times";
inline constexpr char WrongParameter[] = "Wrong parameter";
inline constexpr char ServoOn[] = "Servo On!!";
inline constexpr char InstructionFail[] = "Instruction fail. Try again";
inline constexpr char InitializeQuestion[] = "Initialize Parameters. Are you sure?";
inline constexpr char SaveParameterQuestion[] = "Save Parameter?";
inline constexpr char ReadingParameters[] = "Reading parameters......";
inline constexpr char FileSaveFail[] = "File save fail. Check the file being used or not";
inline constexpr char FileSaveErrorLine[] = "-------error occured!!-------.";
inline constexpr char SeovoOn[] = "Seovo On!!";
inline constexpr char InvalidData[] = "Invalid Data";
inline constexpr char DownLoadQuestion[] = "DownLoad. Are you sure?";
inline constexpr char DownloadingParameter[] = "Downloading parameter......";
inline constexpr char DownLoadFailed[] = "DownLoad Failed!!!";
inline constexpr char DownLoadComplete[] = "DownLoad Complete!!!";
inline constexpr char DownLoadPreview[] = "DownLoad Preview ";
inline constexpr char ComportOpenError[] = "Comport Open Error";
inline constexpr char ComportOpenAlready[] = "Comport is open already";
inline constexpr char ComportSettingError[] = "Comport Setting Error";
inline constexpr char CheckComport[] = "Check Comport, Cable or SERVO ID";

inline constexpr char SelectPortCaption[] = "Select Port";
inline constexpr char SelectPortInvalid[] = "The configured serial port is not valid.";
inline constexpr char SelectPortChoose[] = "Please choose another port.";
inline constexpr char SimulatedDrive[] = "Simulated VD-840";

// Where the drive's answer leaves the state of the machine open, the user is told so.
inline constexpr char MotorStateUnknown[] =
    "The link to the drive is down: the motor's state is unknown. Check the machine.";
inline constexpr char StopRefused[] = "The drive refused the stop. Press E-STOP.";
inline constexpr char PatternStartUnconfirmed[] =
    "The drive did not confirm the start. Auto-JOG OFF was sent at once and confirmed: the pattern is stopped.";
inline constexpr char GuardUnanswered[] =
    "The drive did not answer the servo check: nothing was written.";
// %1: the parameter, e.g. P4-05.
inline constexpr char ValueUnconfirmed[] =
    "The drive did not confirm the value of %1: it is not known what the drive holds. Press Read Again.";
inline constexpr char InputsUnconfirmed[] =
    "The drive did not confirm the input write: the inputs' state is unknown. The panel shows what the drive last confirmed.";
inline constexpr char InputsUnknown[] = "State unknown";
inline constexpr char PatternMayRun[] =
    "The drive confirmed neither the start nor Auto-JOG OFF: the pattern may be running. Press Auto-JOG OFF again.";

// The line echoes: said the first time it is seen.
inline constexpr char LineEchoes[] =
    "The serial line sends every request back before the drive's reply (a two-wire RS-485 adapter "
    "without echo suppression). Velmora recognises the echo and discards it; nothing else changes.";

} // namespace velmora::texts
