#pragma once

// The built-in catalogue of every drive value the tool reads or writes: register, kind,
// bounds the user may write and display rounding; plus what the parameter pages show.
// Everything here is constant and compiled in; nothing is read from a file or the drive.

#include <array>
#include <cstdint>
#include <span>

#include <QString>

namespace velmora {

struct TParamDef {
    uint16_t Address;
    uint8_t IsReal;    // 1: IEEE-754 single; 0: whole number in the low 16 bits
    uint8_t Reserved;  // always 0
    float MinValue;    // inclusive
    float MaxValue;    // inclusive
    int32_t Decimals;  // display rounding exponent: 0, -1, -2 or -3
};

constexpr TParamDef RealDef(uint16_t address, float min, float max, int32_t decimals)
{
    return TParamDef{address, 1, 0, min, max, decimals};
}

constexpr TParamDef WholeDef(uint16_t address, float min, float max, int32_t decimals)
{
    return TParamDef{address, 0, 0, min, max, decimals};
}

// ---- blocks ----
// A block with consecutive registers is read with one request: start at element 0's
// Address, count = size(), decoded value i belongs to element i.

// Status items St-01..St-18 (register 9 + nn). The bounds are never written; they
// document what the drive reports.
inline constexpr std::array<TParamDef, 18> StDefs{{
    WholeDef(10, 100.0f, 1330.0f, 0), // St-01
    RealDef(11, -9999.9f, 9999.9f, -1), // St-02
    RealDef(12, -9999.9f, 9999.9f, -1), // St-03
    RealDef(13, 0.0f, 9999.9f, -1), // St-04
    RealDef(14, -9999.9f, 0.0f, -1), // St-05
    WholeDef(15, -32768.0f, 32767.0f, 0), // St-06
    WholeDef(16, -32768.0f, 32767.0f, 0), // St-07
    WholeDef(17, -32768.0f, 32767.0f, 0), // St-08
    RealDef(18, -300.0f, 300.0f, -1), // St-09
    RealDef(19, -300.0f, 300.0f, -1), // St-10
    RealDef(20, -300.0f, 300.0f, -1), // St-11
    RealDef(21, 0.0f, 300.0f, -1), // St-12
    RealDef(22, -300.0f, 0.0f, -1), // St-13
    RealDef(23, 0.0f, 50.0f, -1), // St-14
    WholeDef(24, -32768.0f, 32767.0f, 0), // St-15
    WholeDef(25, 0.0f, 99999.0f, 0), // St-16
    WholeDef(26, 0.0f, 65535.0f, 0), // St-17
    WholeDef(27, 0.0f, 99.99f, -2), // St-18: the drive sends the version as a single (1.04)
}};

// Captions of St-01..St-18 as the main window shows them.
inline constexpr std::array<const char *, 18> StatusItemNames{{
    "Display Select", "CMD Speed [rpm]", "Motor Speed [rpm]", "CW Speed LIM [rpm]",
    "CCW Speed LIM [rpm]", "Command Pulse [pls]", "Feedback Pulse [pls]", "Error Pulse [pls]",
    "Command Torque[%]", "Load Rate[%]", "Max Load Rate[%]", "CW TRQ LIM[%]", "CCW TRQ LIM[%]",
    "Inertia Ratio", "MULTI Turns [pls]", "Single Turn [pls]", "I/O Status", "Program Version",
}};

// Parameter groups: Pg-nn is element nn-1, register g*100 + nn-1.
inline constexpr std::array<TParamDef, 20> P1Defs{{
    WholeDef(100, 0.0f, 99.0f, 0), // P1-01
    RealDef(101, 0.01f, 999.99f, -2), // P1-02
    RealDef(102, 0.1f, 999.99f, -2), // P1-03
    RealDef(103, 0.001f, 999.999f, -3), // P1-04
    RealDef(104, 0.001f, 999.999f, -3), // P1-05
    RealDef(105, 0.01f, 999.99f, -2), // P1-06
    RealDef(106, 0.0f, 9999.0f, 0), // P1-07
    RealDef(107, 0.0f, 9999.0f, 0), // P1-08
    RealDef(108, 0.0f, 9999.0f, 0), // P1-09
    WholeDef(109, 2.0f, 98.0f, 0), // P1-10
    WholeDef(110, 0.0f, 150.0f, 0), // P1-11
    WholeDef(111, 0.0f, 10.0f, 0), // P1-12
    WholeDef(112, 1.0f, 32768.0f, 0), // P1-13
    WholeDef(113, 1.0f, 131072.0f, 0), // P1-14
    WholeDef(114, 0.0f, 57600.0f, 0), // P1-15
    WholeDef(115, 0.0f, 2.0f, 0), // P1-16
    WholeDef(116, 0.0f, 2.0f, 0), // P1-17
    WholeDef(117, 0.0f, 31.0f, 0), // P1-18
    WholeDef(118, 0.0f, 1.0f, 0), // P1-19
    WholeDef(119, 0.0f, 1.0f, 0), // P1-20
}};

inline constexpr std::array<TParamDef, 33> P2Defs{{
    WholeDef(200, 0.0f, 5.0f, 0), // P2-01
    RealDef(201, 100.0f, 10000.0f, -1), // P2-02
    RealDef(202, 0.0f, 300.0f, -1), // P2-03
    RealDef(203, -300.0f, 0.0f, -1), // P2-04
    RealDef(204, 0.0f, 6000.0f, -1), // P2-05
    RealDef(205, -6000.0f, 0.0f, -1), // P2-06
    RealDef(206, 0.0f, 9999.9f, -1), // P2-07
    RealDef(207, 0.0f, 10000.0f, -1), // P2-08
    WholeDef(208, 0.0f, 3.0f, 0), // P2-09
    WholeDef(209, 0.0f, 2.0f, 0), // P2-10
    RealDef(210, 50.0f, 2000.0f, -1), // P2-11
    RealDef(211, 10.0f, 99.9f, -1), // P2-12
    WholeDef(212, 0.0f, 1.0f, 0), // P2-13
    RealDef(213, 50.0f, 2000.0f, -1), // P2-14
    RealDef(214, 10.0f, 99.9f, -1), // P2-15
    RealDef(215, 0.0f, 1000.0f, -1), // P2-16
    WholeDef(216, 0.0f, 1.0f, 0), // P2-17
    WholeDef(217, 1.0f, 19.0f, 0), // P2-18
    RealDef(218, 1.0f, 50.0f, -1), // P2-19
    RealDef(219, 100.0f, 5000.0f, -1), // P2-20
    RealDef(220, 10.0f, 500.0f, -1), // P2-21
    RealDef(221, 50.0f, 300.0f, -1), // P2-22
    RealDef(222, 0.0f, 300.0f, -1), // P2-23
    RealDef(223, 0.0f, 10000.0f, -1), // P2-24
    WholeDef(224, 0.0f, 1.0f, 0), // P2-25
    WholeDef(225, 0.0f, 1.0f, 0), // P2-26
    WholeDef(226, 0.0f, 1.0f, 0), // P2-27
    WholeDef(227, 0.0f, 1.0f, 0), // P2-28
    WholeDef(228, 0.0f, 1.0f, 0), // P2-29
    RealDef(229, 0.0f, 1000.0f, -1), // P2-30
    WholeDef(230, 0.0f, 1.0f, 0), // P2-31
    WholeDef(231, 0.0f, 1.0f, 0), // P2-32
    WholeDef(232, 0.0f, 1.0f, 0), // P2-33
}};

inline constexpr std::array<TParamDef, 24> P3Defs{{
    WholeDef(300, 1.0f, 5.0f, 0), // P3-01
    RealDef(301, 0.0f, 100.0f, -1), // P3-02
    RealDef(302, 0.0f, 100.0f, -1), // P3-03
    RealDef(303, 0.0f, 100.0f, -1), // P3-04
    RealDef(304, 0.0f, 1000.0f, -1), // P3-05
    RealDef(305, 0.0f, 10000.0f, -1), // P3-06
    RealDef(306, 0.0f, 1000.0f, -1), // P3-07
    RealDef(307, 0.0f, 10000.0f, -1), // P3-08
    RealDef(308, 0.0f, 2000.0f, -1), // P3-09
    RealDef(309, 0.0f, 90000.0f, -1), // P3-10
    RealDef(310, 0.0f, 90000.0f, -1), // P3-11
    RealDef(311, 0.0f, 9000.0f, -1), // P3-12
    RealDef(312, 0.0f, 9999.9f, -1), // P3-13
    RealDef(313, 0.0f, 9999.9f, -1), // P3-14
    RealDef(314, 0.0f, 9999.9f, -1), // P3-15
    RealDef(315, -10000.0f, 0.0f, -1), // P3-16
    WholeDef(316, 0.0f, 1.0f, 0), // P3-17
    RealDef(317, -1000.0f, 1000.0f, -1), // P3-18
    WholeDef(318, 0.0f, 1.0f, 0), // P3-19
    WholeDef(319, 0.0f, 2.0f, 0), // P3-20
    RealDef(320, -1000.0f, 1000.0f, -1), // P3-21
    RealDef(321, 0.0f, 2000.0f, -1), // P3-22
    RealDef(322, 0.0f, 1000.0f, -1), // P3-23
    WholeDef(323, 0.0f, 2.0f, 0), // P3-24
}};

inline constexpr std::array<TParamDef, 14> P4Defs{{
    RealDef(400, -9999.9f, 9999.9f, -1), // P4-01
    RealDef(401, -9999.9f, 9999.9f, -1), // P4-02
    RealDef(402, -9999.9f, 9999.9f, -1), // P4-03
    RealDef(403, -9999.9f, 9999.9f, -1), // P4-04
    RealDef(404, -9999.9f, 9999.9f, -1), // P4-05
    RealDef(405, -9999.9f, 9999.9f, -1), // P4-06
    RealDef(406, -9999.9f, 9999.9f, -1), // P4-07
    RealDef(407, -300.0f, 300.0f, -1), // P4-08
    RealDef(408, -300.0f, 300.0f, -1), // P4-09
    RealDef(409, -300.0f, 300.0f, -1), // P4-10
    RealDef(410, -300.0f, 300.0f, -1), // P4-11
    RealDef(411, -300.0f, 300.0f, -1), // P4-12
    RealDef(412, -300.0f, 300.0f, -1), // P4-13
    RealDef(413, -300.0f, 300.0f, -1), // P4-14
}};

inline constexpr std::array<TParamDef, 22> P5Defs{{
    WholeDef(500, 1.0f, 5.0f, 0), // P5-01
    WholeDef(501, 0.0f, 5.0f, 0), // P5-02
    WholeDef(502, 0.0f, 1.0f, 0), // P5-03
    RealDef(503, 0.0f, 100.0f, -1), // P5-04
    RealDef(504, 0.0f, 500.0f, -1), // P5-05
    RealDef(505, 0.0f, 500.0f, -1), // P5-06
    WholeDef(506, 0.0f, 99999.0f, 0), // P5-07
    WholeDef(507, 0.0f, 99999.0f, 0), // P5-08
    WholeDef(508, 0.0f, 99999.0f, 0), // P5-09
    RealDef(509, 0.0f, 2000.0f, -1), // P5-10
    RealDef(510, 0.0f, 2000.0f, -1), // P5-11
    WholeDef(511, 1.0f, 99999.0f, 0), // P5-12
    WholeDef(512, 1.0f, 99999.0f, 0), // P5-13
    WholeDef(513, 1.0f, 99999.0f, 0), // P5-14
    WholeDef(514, 1.0f, 99999.0f, 0), // P5-15
    WholeDef(515, 1.0f, 99999.0f, 0), // P5-16
    WholeDef(516, 1.0f, 99999.0f, 0), // P5-17
    WholeDef(517, 1.0f, 99999.0f, 0), // P5-18
    WholeDef(518, 1.0f, 99999.0f, 0), // P5-19
    RealDef(519, -1000.0f, 1000.0f, -1), // P5-20
    WholeDef(520, 0.0f, 500.0f, -1), // P5-21: whole, yet shown with the group's tenths rule
    WholeDef(521, 0.0f, 99999.0f, 0), // P5-22
}};

inline constexpr std::array<TParamDef, 9> P6Defs{{
    RealDef(600, 0.0f, 2000.0f, -1), // P6-01
    RealDef(601, 0.0f, 9000.0f, -1), // P6-02
    RealDef(602, 0.0f, 9000.0f, -1), // P6-03
    RealDef(603, 0.0f, 2000.0f, -1), // P6-04
    RealDef(604, 0.0f, 100.0f, -1), // P6-05
    RealDef(605, 0.0f, 100.0f, -1), // P6-06
    RealDef(606, 0.0f, 300.0f, -1), // P6-07
    WholeDef(607, 0.0f, 1.0f, 0), // P6-08
    RealDef(608, -1000.0f, 1000.0f, -1), // P6-09
}};

inline constexpr std::array<TParamDef, 12> P7Defs{{
    WholeDef(700, 0.0f, 30.0f, 0), // P7-01
    WholeDef(701, 0.0f, 20.0f, 0), // P7-02
    WholeDef(702, 0.0f, 20.0f, 0), // P7-03
    WholeDef(703, 0.0f, 20.0f, 0), // P7-04
    WholeDef(704, 0.0f, 20.0f, 0), // P7-05
    WholeDef(705, 0.0f, 20.0f, 0), // P7-06
    WholeDef(706, 0.0f, 20.0f, 0), // P7-07
    WholeDef(707, 0.0f, 20.0f, 0), // P7-08
    WholeDef(708, 0.0f, 20.0f, 0), // P7-09
    WholeDef(709, 0.0f, 20.0f, 0), // P7-10
    WholeDef(710, 0.0f, 20.0f, 0), // P7-11
    WholeDef(711, 0.0f, 20.0f, 0), // P7-12
}};

inline constexpr std::array<TParamDef, 10> P8Defs{{
    WholeDef(800, 0.0f, 30.0f, 0), // P8-01
    WholeDef(801, 0.0f, 20.0f, 0), // P8-02
    WholeDef(802, 0.0f, 20.0f, 0), // P8-03
    WholeDef(803, 0.0f, 20.0f, 0), // P8-04
    WholeDef(804, 0.0f, 20.0f, 0), // P8-05
    WholeDef(805, 0.0f, 20.0f, 0), // P8-06
    WholeDef(806, 0.0f, 20.0f, 0), // P8-07
    WholeDef(807, 0.0f, 20.0f, 0), // P8-08
    WholeDef(808, 0.0f, 20.0f, 0), // P8-09
    WholeDef(809, 0.0f, 20.0f, 0), // P8-10
}};

inline constexpr std::array<TParamDef, 8> P9Defs{{
    WholeDef(900, 0.0f, 5.0f, 0), // P9-01
    WholeDef(901, 0.0f, 1.0f, 0), // P9-02
    RealDef(902, 0.0f, 2000.0f, -1), // P9-03
    RealDef(903, -1000.0f, 1000.0f, -1), // P9-04
    WholeDef(904, 0.0f, 5.0f, 0), // P9-05
    WholeDef(905, 0.0f, 1.0f, 0), // P9-06
    RealDef(906, 0.0f, 2000.0f, -1), // P9-07
    RealDef(907, -1000.0f, 1000.0f, -1), // P9-08
}};

// Key jog speed, shown as JOG-02 (JOG-nn is register 999 + nn).
inline constexpr std::array<TParamDef, 1> JogDefs{{
    RealDef(1001, -9999.9f, 9999.9f, -1), // JOG-02
}};

// Programmed jog: run mode, then eight speed/time pairs.
inline constexpr std::array<TParamDef, 17> AutoJogDefs{{
    WholeDef(1002, 0.0f, 2.0f, 0), // JOG-03: run mode
    RealDef(1003, -9999.9f, 9999.9f, -1), // JOG-04: speed 1
    RealDef(1004, 0.0f, 5000.0f, -1), // JOG-05: time/revolutions 1
    RealDef(1005, -9999.9f, 9999.9f, -1), // JOG-06: speed 2
    RealDef(1006, 0.0f, 5000.0f, -1), // JOG-07: time/revolutions 2
    RealDef(1007, -9999.9f, 9999.9f, -1), // JOG-08: speed 3
    RealDef(1008, 0.0f, 5000.0f, -1), // JOG-09: time/revolutions 3
    RealDef(1009, -9999.9f, 9999.9f, -1), // JOG-10: speed 4
    RealDef(1010, 0.0f, 5000.0f, -1), // JOG-11: time/revolutions 4
    RealDef(1011, -9999.9f, 9999.9f, -1), // JOG-12: speed 5
    RealDef(1012, 0.0f, 5000.0f, -1), // JOG-13: time/revolutions 5
    RealDef(1013, -9999.9f, 9999.9f, -1), // JOG-14: speed 6
    RealDef(1014, 0.0f, 5000.0f, -1), // JOG-15: time/revolutions 6
    RealDef(1015, -9999.9f, 9999.9f, -1), // JOG-16: speed 7
    RealDef(1016, 0.0f, 5000.0f, -1), // JOG-17: time/revolutions 7
    RealDef(1017, -9999.9f, 9999.9f, -1), // JOG-18: speed 8
    RealDef(1018, 0.0f, 5000.0f, -1), // JOG-19: time/revolutions 8
}};

// Selections, copied from their groups so a bound changed there cannot drift here.
// Their registers are not consecutive: users read them run by run.
inline constexpr std::array<TParamDef, 6> ManualTuneDefs{{
    P3Defs[4],  // P3-05, 304
    P3Defs[5],  // P3-06, 305
    P3Defs[9],  // P3-10, 309
    P3Defs[10], // P3-11, 310
    P5Defs[4],  // P5-05, 504
    P2Defs[17], // P2-18, 217
}};

inline constexpr std::array<TParamDef, 10> AutoTuneDefs{{
    AutoJogDefs[1], // 1003..1008: the first three speed/time pairs
    AutoJogDefs[2],
    AutoJogDefs[3],
    AutoJogDefs[4],
    AutoJogDefs[5],
    AutoJogDefs[6],
    P2Defs[16], // P2-17, 216
    P2Defs[17], // P2-18, 217
    P2Defs[18], // P2-19, 218
    P3Defs[1],  // P3-02, 301
}};

// ---- names ----

// Index = function number assigned to a pin (P7 inputs, P8 outputs); they also label the
// main window's input and output lamps.
inline constexpr std::array<const char *, 31> InputFunctionNames{{
    "None", "SVONEN", "TYPE", "DIR", "PI/P", "GAITRS", "TRQ1", // 0-6
    "TRQ2", "TRQ3", "SPD1", "SPD2", "SPD3", "TLIM", "CCWLIM", // 7-13
    "CWLIM", "STOP", "ESTOP", "PLSINH", "PLSCLR", "ALMRST", "ABSREQ", // 14-20
    "None", "None", "None", "None", "SETUP1", "SETUP2", "SETUP3", // 21-27
    "SETUP4", "SETUP5", "SETUP6", // 28-30
}};

inline constexpr std::array<const char *, 31> OutputFunctionNames{{
    "None", "SVONOFF", "TYPEOUT", "BRAKE", "ZTRQ", "ZSPD", "INSPD/INPOS", // 0-6
    "RDY", "PPIOUT", "TRQO/SPDO", "PCWO/PTQO", "NCWO/NTQO", "PCWRUN", "NCWRUN", // 7-13
    "ALARM", "A_CODE0", "A_CODE1", "A_CODE2", "A_CODE3", "None", "None", // 14-20
    "None", "None", "None", "None", "SETUP1", "SETUP2", "SETUP3", // 21-27
    "SETUP4", "SETUP5", "SETUP6", // 28-30
}};

// Index = alarm number reported by the drive.
inline constexpr std::array<const char *, 16> AlarmNames{{
    "Normal", "OVER CURNT", "OVER VOLT", "OVER LOAD", "POWER FAIL", "LINE FAIL", // 0-5
    "OVER SPEED", "FOLLOW ERR", "OUTPUT NC", "PPR ERROR", "ABS DATA", "ABS BATT", // 6-11
    "ABS MDER", "OUTPUT EC", "PARA INIT", "EMER STOP", // 12-15
}};

// The alarm number as two decimal digits in one byte, as the drive's display shows it.
inline constexpr std::array<uint8_t, 16> AlarmDisplayCodes{{
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15,
}};

// P1-01: item i is motor code i. Empty texts are codes the drive does not know.
inline constexpr std::array<const char *, 100> MotorList{{
    "", "", "", "", "", "VC20", "VC30", "", "VC60", "VC75", // 0-9
    "", "VF05", "VF07", "VF10", "VF15", "VF20", "", "", "", "", // 10-19
    "VG03", "VG05", "VG07", "VG10", "VG15", "VG20", "", "", "", "", // 20-29
    "VH03", "VH05", "VH07", "VH10", "VH15", "VH20", "", "", "", "", // 30-39
    "VK03", "VK05", "VK07", "VK10", "VK15", "VK20", "", "", "VK60", "VK75", // 40-49
    "VL03B", "VL05B", "VL07B", "VL10B", "VL15B", "VL20B", "VL30B", "VL45B", "VL60B", "VL75B", // 50-59
    "VN03B", "VN05B", "VN07B", "VN10B", "VN15B", "VN20B", "VN30B", "VN45B", "VN60B", "VN75B", // 60-69
    "VR03B", "VR05B", "VR07B", "VR10B", "VR15B", "VR20B", "VR30B", "VR45B", "VR60B", "VR75B", // 70-79
    "VT03B", "VT05B", "VT07B", "VT10B", "VT15B", "VT20B", "VT30B", "VT45B", "VT60B", "VT75B", // 80-89
    "", "", "", "", "", "", "", "", "VX60B", "VX75B", // 90-99
}};

// ---- page metadata ----
enum class EntryKind : uint8_t { Edit, List, Button };
enum class ValueSource : uint8_t {
    EditText,
    ListText,
    ListPosition,
    ListPositionElseText,
    MappedListPosition, // P1-12: position p -> p for p <= 7, p + 1 above
    FixedText,          // P2-29: "1"
};
enum class FollowUp : uint8_t { None, MotorRowsVisibility, StationChange, DerivedRow };

struct ParamRow {
    const char *id;        // "P1-01"
    bool starred;          // shown as "*P1-01"
    const char *name;      // caption beside the value (UTF-8)
    EntryKind entry;
    std::span<const char *const> items; // list items (empty for edit rows)
    bool servoOffRequired; // the servo-on guard runs before a write
    ValueSource source;
    FollowUp followUp;
};

struct ParamGroup {
    int number;                     // 1..9
    const char *caption;            // page caption
    std::span<const TParamDef> defs;
    std::span<const ParamRow> rows; // same length and order as defs
};

enum RowFlag : unsigned { RowPlain = 0, RowStarred = 1, RowServoOff = 2 };

constexpr ParamRow EditRow(const char *id, const char *name, unsigned flags,
                           FollowUp followUp = FollowUp::None)
{
    return ParamRow{id, (flags & RowStarred) != 0, name, EntryKind::Edit, {},
                    (flags & RowServoOff) != 0, ValueSource::EditText, followUp};
}

constexpr ParamRow ListRow(const char *id, const char *name, std::span<const char *const> items,
                           unsigned flags, ValueSource source = ValueSource::ListText,
                           FollowUp followUp = FollowUp::None)
{
    return ParamRow{id, (flags & RowStarred) != 0, name, EntryKind::List, items,
                    (flags & RowServoOff) != 0, source, followUp};
}

constexpr ParamRow ButtonRow(const char *id, const char *name, unsigned flags)
{
    return ParamRow{id, (flags & RowStarred) != 0, name, EntryKind::Button, {},
                    (flags & RowServoOff) != 0, ValueSource::FixedText, FollowUp::None};
}

inline constexpr std::array<const char *, 2> Items0To1{{"0", "1"}};
inline constexpr std::array<const char *, 3> Items0To2{{"0", "1", "2"}};
inline constexpr std::array<const char *, 4> Items0To3{{"0", "1", "2", "3"}};
inline constexpr std::array<const char *, 6> Items0To5{{"0", "1", "2", "3", "4", "5"}};
inline constexpr std::array<const char *, 5> Items1To5{{"1", "2", "3", "4", "5"}};
inline constexpr std::array<const char *, 6> PoleNumberItems{{"2", "4", "6", "8", "10", "12"}};
inline constexpr std::array<const char *, 10> DriveIdItems{{
    "1", "2", "4", "5", "8", "10", "15", "20", "30", "45",
}};
inline constexpr std::array<const char *, 10> EncoderIdItems{{
    "Enc-0", "Enc-A", "Enc-b", "Enc-C", "Enc-d", "Enc-E", "Enc-F", "Enc-G", "Enc-P", "Enc-R",
}};
inline constexpr std::array<const char *, 9> EncoderPulseItems{{
    "2000", "2500", "3000", "5000", "6000", "2048", "2048", "32768", "32768",
}};
inline constexpr std::array<const char *, 17> BaudRateItems{{
    "00", "01", "02", "03", "04", "05", "06", "07",
    "08", "09", "10", "11", "12", "13", "14", "15", "",
}};
inline constexpr std::array<const char *, 32> SerialIdItems{{
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15",
    "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "30", "31",
}};
inline constexpr std::array<const char *, 6> ControlModeItems{{
    "Torque", "Speed", "Position", "Spd/Trq", "Spd/Pos", "Pos/Trq",
}};
inline constexpr std::array<const char *, 19> ResponseItems{{
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10",
    "11", "12", "13", "14", "15", "16", "17", "18", "19",
}};

inline constexpr std::array<ParamRow, 20> P1Rows{{
    ListRow("P1-01", "Motor ID", MotorList, RowStarred | RowServoOff, ValueSource::ListPositionElseText,
            FollowUp::MotorRowsVisibility),
    EditRow("P1-02", "Inertia [gfcm^2]", RowServoOff),
    EditRow("P1-03", "TRQ CONS[kgfcm/A]", RowServoOff),
    EditRow("P1-04", "Phase Ls [mH]", RowStarred | RowServoOff),
    EditRow("P1-05", "Phase RES [Ω]", RowStarred | RowServoOff),
    EditRow("P1-06", "Rated Current [A]", RowStarred | RowServoOff),
    EditRow("P1-07", "Rated Speed [rpm]", RowStarred | RowServoOff),
    EditRow("P1-08", "MAX Speed [rpm]", RowStarred | RowServoOff),
    EditRow("P1-09", "Rated TRQ [kgfcm]", RowStarred | RowServoOff),
    ListRow("P1-10", "Pole Number [pole]", PoleNumberItems, RowStarred | RowServoOff),
    ListRow("P1-11", "Drive ID", DriveIdItems, RowStarred | RowServoOff),
    ListRow("P1-12", "Encoder ID", EncoderIdItems, RowStarred | RowServoOff, ValueSource::MappedListPosition),
    ListRow("P1-13", "Encoder PLS [ppr]", EncoderPulseItems, RowStarred | RowServoOff),
    EditRow("P1-14", "Pulse Out Rate [ppr]", RowStarred | RowServoOff),
    ListRow("P1-15", "COM Baud Rate", BaudRateItems, RowStarred | RowServoOff,
            ValueSource::ListPositionElseText),
    ListRow("P1-16", "Serial Select", Items0To2, RowStarred | RowServoOff),
    ListRow("P1-17", "Serial I/O", Items0To2, RowStarred | RowServoOff),
    ListRow("P1-18", "Serial ID", SerialIdItems, RowStarred | RowServoOff, ValueSource::ListText,
            FollowUp::StationChange),
    ListRow("P1-19", "Parameter Lock", Items0To1, RowStarred | RowServoOff),
    ListRow("P1-20", "Absolute Origin", Items0To1, RowStarred | RowServoOff),
}};

inline constexpr std::array<ParamRow, 33> P2Rows{{
    ListRow("P2-01", "Control Mode", ControlModeItems, RowStarred | RowServoOff, ValueSource::ListPosition),
    EditRow("P2-02", "Mode CHG Time[ms]", RowPlain),
    EditRow("P2-03", "CCW TRQ Limit [%]", RowPlain),
    EditRow("P2-04", "CW TRQ Limit [%]", RowPlain),
    EditRow("P2-05", "CCW Speed Limit [rpm]", RowPlain),
    EditRow("P2-06", "CW Speed Limit [rpm]", RowPlain),
    EditRow("P2-07", "Brake Speed [rpm]", RowPlain),
    EditRow("P2-08", "Brake Time [ms]", RowPlain),
    ListRow("P2-09", "DB Mode", Items0To3, RowPlain),
    ListRow("P2-10", "Notch Filter1", Items0To2, RowPlain),
    EditRow("P2-11", "NF Frequency1 [Hz]", RowPlain),
    EditRow("P2-12", "NF Bandwidth1 [%]", RowPlain),
    ListRow("P2-13", "Notch Filter2", Items0To1, RowPlain),
    EditRow("P2-14", "NF Frequency2 [Hz]", RowPlain),
    EditRow("P2-15", "NF Bandwidth2 [%]", RowPlain),
    EditRow("P2-16", "TRQ Filter TC [ms]", RowPlain),
    ListRow("P2-17", "Auto Tuning", Items0To1, RowPlain),
    ListRow("P2-18", "System Response", ResponseItems, RowPlain),
    EditRow("P2-19", "Inertia Ratio", RowPlain),
    EditRow("P2-20", "Gain ADJ Speed1[rpm]", RowPlain),
    EditRow("P2-21", "Gain ADJ Speed2[rpm]", RowPlain),
    EditRow("P2-22", "Gain ADJ TRQ1 [%]", RowPlain),
    EditRow("P2-23", "Gain ADJ TRQ2 [%]", RowPlain),
    EditRow("P2-24", "Contact Gain TC [ms]", RowPlain),
    ListRow("P2-25", "Temporary Stop", Items0To1, RowPlain),
    ListRow("P2-26", "Emergency Stop", Items0To1, RowPlain),
    ListRow("P2-27", "Direction Select", Items0To1, RowPlain),
    ListRow("P2-28", "Ripple COMPEN", Items0To1, RowPlain),
    ButtonRow("P2-29", "Parameter Init", RowStarred | RowServoOff),
    EditRow("P2-30", "Servo Off Delay Time", RowPlain),
    ListRow("P2-31", "CW Limit", Items0To1, RowPlain),
    ListRow("P2-32", "CCW Limit", Items0To1, RowPlain),
    ListRow("P2-33", "Servo On/Off", Items0To1, RowPlain),
}};

inline constexpr std::array<ParamRow, 24> P3Rows{{
    ListRow("P3-01", "Speed Gain Mode", Items1To5, RowStarred),
    EditRow("P3-02", "PI-IP Control [%]", RowPlain),
    EditRow("P3-03", "Friction COMPEN [%]", RowPlain),
    EditRow("P3-04", "Load COMPEN [%]", RowPlain),
    EditRow("P3-05", "SC Loop Gain1 [Hz]", RowPlain, FollowUp::DerivedRow),
    EditRow("P3-06", "SC TC1 [ms]", RowPlain),
    EditRow("P3-07", "SC Loop Gain2 [Hz]", RowPlain, FollowUp::DerivedRow),
    EditRow("P3-08", "SC TC2 [ms]", RowPlain),
    EditRow("P3-09", "Analog CMD TC [ms]", RowPlain),
    EditRow("P3-10", "Accel Time [ms]", RowPlain),
    EditRow("P3-11", "Decel Time [ms]", RowPlain),
    EditRow("P3-12", "S-Mode TC [ms]", RowStarred | RowServoOff),
    EditRow("P3-13", "Inspeed Range[rpm]", RowPlain),
    EditRow("P3-14", "Zero SPD Range [rpm]", RowPlain),
    EditRow("P3-15", "Analog+10[V] SPD[rpm]", RowStarred | RowServoOff),
    EditRow("P3-16", "Analog-10[V] SPD[rpm]", RowStarred | RowServoOff),
    ListRow("P3-17", "Auto Offset", Items0To1, RowPlain),
    EditRow("P3-18", "Manual Offset [mV]", RowPlain),
    ListRow("P3-19", "Override ENB", Items0To1, RowStarred | RowServoOff),
    ListRow("P3-20", "Clamp Mode", Items0To2, RowPlain),
    EditRow("P3-21", "Clamp VOLT[mV]", RowPlain),
    EditRow("P3-22", "FeedBack TC [ms]", RowStarred | RowServoOff),
    EditRow("P3-23", "Zero SPD VIB REJ [rpm]", RowPlain),
    ListRow("P3-24", "FeedForward TRQ", Items0To2, RowStarred | RowServoOff),
}};

inline constexpr std::array<ParamRow, 14> P4Rows{{
    EditRow("P4-01", "Speed1 [rpm]", RowPlain),
    EditRow("P4-02", "Speed2 [rpm]", RowPlain),
    EditRow("P4-03", "Speed3 [rpm]", RowPlain),
    EditRow("P4-04", "Speed4 [rpm]", RowPlain),
    EditRow("P4-05", "Speed5 [rpm]", RowPlain),
    EditRow("P4-06", "Speed6 [rpm]", RowPlain),
    EditRow("P4-07", "Speed7 [rpm]", RowPlain),
    EditRow("P4-08", "Torque1 [%]", RowPlain),
    EditRow("P4-09", "Torque2 [%]", RowPlain),
    EditRow("P4-10", "Torque3 [%]", RowPlain),
    EditRow("P4-11", "Torque4 [%]", RowPlain),
    EditRow("P4-12", "Torque5 [%]", RowPlain),
    EditRow("P4-13", "Torque6 [%]", RowPlain),
    EditRow("P4-14", "Torque7 [%]", RowPlain),
}};

inline constexpr std::array<ParamRow, 22> P5Rows{{
    ListRow("P5-01", "POS Gain Mode", Items1To5, RowStarred),
    ListRow("P5-02", "POS Pulse Type", Items0To5, RowStarred | RowServoOff),
    ListRow("P5-03", "Speed Mode", Items0To1, RowPlain),
    EditRow("P5-04", "FeedForward [%]", RowPlain),
    EditRow("P5-05", "PC P Gain1 [Hz]", RowPlain, FollowUp::DerivedRow),
    EditRow("P5-06", "PC P Gain2 [Hz]", RowPlain, FollowUp::DerivedRow),
    EditRow("P5-07", "PI-P Pulse ERR [pls]", RowPlain),
    EditRow("P5-08", "IN Position [pls]", RowPlain),
    EditRow("P5-09", "Follow ERR [pls]", RowPlain),
    EditRow("P5-10", "POS CMD TC [ms]", RowPlain),
    EditRow("P5-11", "FF TC [ms]", RowPlain),
    EditRow("P5-12", "ELCTR Gear NUM1", RowStarred | RowServoOff),
    EditRow("P5-13", "ELCTR Gear DEN1", RowStarred | RowServoOff),
    EditRow("P5-14", "ELCTR Gear NUM2", RowStarred | RowServoOff),
    EditRow("P5-15", "ELCTR Gear DEN2", RowStarred | RowServoOff),
    EditRow("P5-16", "ELCTR Gear NUM3", RowStarred | RowServoOff),
    EditRow("P5-17", "ELCTR Gear DEN3", RowStarred | RowServoOff),
    EditRow("P5-18", "ELCTR Gear NUM4", RowStarred | RowServoOff),
    EditRow("P5-19", "ELCTR Gear DEN4", RowStarred | RowServoOff),
    EditRow("P5-20", "Bias SPD COMPEN[rpm]", RowPlain),
    EditRow("P5-21", "Bias PLS Band [pls]", RowPlain),
    EditRow("P5-22", "Backlash Pulse [pls]", RowPlain),
}};

inline constexpr std::array<ParamRow, 9> P6Rows{{
    EditRow("P6-01", "Analog TRQ TC [ms]", RowStarred | RowServoOff),
    EditRow("P6-02", "TRQ ACCEL Time [ms]", RowPlain),
    EditRow("P6-03", "TRQ DECEL Time [ms]", RowPlain),
    EditRow("P6-04", "Torque S-Mode [ms]", RowStarred | RowServoOff),
    EditRow("P6-05", "In Torque Range [%]", RowPlain),
    EditRow("P6-06", "Stop TRQ Range[%]", RowPlain),
    EditRow("P6-07", "10[V] Torque [%]", RowPlain),
    ListRow("P6-08", "Auto Offset", Items0To1, RowPlain),
    EditRow("P6-09", "Manual Offset [mV]", RowPlain),
}};

inline constexpr std::array<ParamRow, 12> P7Rows{{
    ListRow("P7-01", "CN1-18", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-02", "CN1-43", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-03", "CN1-17", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-04", "CN1-42", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-05", "CN1-16", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-06", "CN1-41", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-07", "CN1-15", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-08", "CN1-40", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-09", "CN1-14", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-10", "CN1-39", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-11", "CN1-13", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P7-12", "CN1-38", InputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
}};

inline constexpr std::array<ParamRow, 10> P8Rows{{
    ListRow("P8-01", "CN1-23", OutputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P8-02", "CN1-48", OutputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P8-03", "CN1-22", OutputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P8-04", "CN1-47", OutputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P8-05", "CN1-21", OutputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P8-06", "CN1-46", OutputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P8-07", "CN1-20", OutputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P8-08", "CN1-45", OutputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P8-09", "CN1-19", OutputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
    ListRow("P8-10", "CN1-44", OutputFunctionNames, RowStarred | RowServoOff, ValueSource::ListPosition),
}};

inline constexpr std::array<ParamRow, 8> P9Rows{{
    ListRow("P9-01", "Monitor1", Items0To5, RowPlain),
    ListRow("P9-02", "Monitor ABS1", Items0To1, RowPlain),
    EditRow("P9-03", "Monitor Scale1", RowPlain),
    EditRow("P9-04", "Monitor Offset1", RowPlain),
    ListRow("P9-05", "Monitor2", Items0To5, RowPlain),
    ListRow("P9-06", "Monitor ABS2", Items0To1, RowPlain),
    EditRow("P9-07", "Monitor Scale2", RowPlain),
    EditRow("P9-08", "Monitor Offset2", RowPlain),
}};

inline constexpr std::array<ParamGroup, 9> ParamGroups{{
    ParamGroup{1, "Motor and System Menu", P1Defs, P1Rows},
    ParamGroup{2, "Control Mode Parameters( Control Mode : P2-- )", P2Defs, P2Rows},
    ParamGroup{3, "Speed Control Parameters (Speed Mode: P3--)", P3Defs, P3Rows},
    ParamGroup{4, "Command Parameters (Position Mode: P4--)", P4Defs, P4Rows},
    ParamGroup{5, "Position Control Parameters(Position Mode:P5--)", P5Defs, P5Rows},
    ParamGroup{6, "Torque Control Parameters (Torque Mode: P6--)", P6Defs, P6Rows},
    ParamGroup{7, "Digital Input Control pameters (DIGINS Mode: P7--)", P7Defs, P7Rows},
    ParamGroup{8, "Digital Output Control Parameters ( DIGOUT MODE : P8--)", P8Defs, P8Rows},
    ParamGroup{9, "Monitor Control Parameters ( Monitor MODE : P9--)", P9Defs, P9Rows},
}};

// ---- functions ----

// Display text of a drive value: rounded to a multiple of 10^decimals (halves to even),
// shortest form with at most 15 significant digits, never an exponent, always a point.
QString FormatParamValue(double value, int decimals);

// The unit in a row's name ("SC Loop Gain1 [Hz]" -> "Hz"); empty when it has none.
QString RowUnit(const ParamRow &row);
// "0.0 to 1000.0 Hz": the values a record accepts, as the page shows them.
QString RangeText(const ParamRow &row, const TParamDef &def);
// A row's help, for its tooltip: identifier and name, the range, whole or real, the servo
// guard, and a list row's items with the numbers they stand for.
QString RowHelp(const ParamRow &row, const TParamDef &def);

// Range test of a value already rounded to single precision; both bounds inclusive.
bool InRange(const TParamDef &def, float value);

// The record of a register in the status, group or jog blocks; nullptr when unknown.
const TParamDef *FindParamDef(uint16_t address);

// The page row of a group parameter's register; nullptr outside P1..P9.
const ParamRow *FindParamRow(uint16_t address);

// "St-05", "P3-05" or "JOG-02" for a known register, empty otherwise.
QString ParamIdForAddress(uint16_t address);

} // namespace velmora
