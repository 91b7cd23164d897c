#pragma once

// The page readers: one request per parameter group, whose display texts (P1Texts ..
// P9Texts) feed the pages, the parameter file and the report. No widgets here.

#include <QStringList>

#include <array>
#include <functional>

#include "link/DriveSession.h"

namespace velmora {

// The display texts of every group from the last page reader run (P1Texts .. P9Texts),
// and which page is open. They outlive the pages.
struct ParamTexts {
    std::array<QStringList, 9> texts;     // texts[g - 1] is PgTexts
    // Shows a reader's texts on the group's page while it is open; empty otherwise.
    std::array<std::function<void(const QStringList &)>, 9> showOnPage;
    QStringList &P(int group) { return texts.at(size_t(group - 1)); }
};

// Reads one group with one request and forms its texts; shows them on the group's page
// when it is open. Runs on the caller's thread (a thread of its own would only add a
// hand-over); the page is updated on the user-interface thread.
class TThread_Pg_READ {
public:
    TThread_Pg_READ(DriveSession &session, ParamTexts &texts, int group)
        : s_(session), texts_(texts), group_(group) {}
    ReplyOutcome run();

private:
    DriveSession &s_;
    ParamTexts &texts_;
    int group_;
};

// The readers under the names the rest of the system knows them by.
struct TThread_P1_Read : TThread_Pg_READ { TThread_P1_Read(DriveSession &s, ParamTexts &t) : TThread_Pg_READ(s, t, 1) {} };
struct TThread_P2_READ : TThread_Pg_READ { TThread_P2_READ(DriveSession &s, ParamTexts &t) : TThread_Pg_READ(s, t, 2) {} };
struct TThread_P3_READ : TThread_Pg_READ { TThread_P3_READ(DriveSession &s, ParamTexts &t) : TThread_Pg_READ(s, t, 3) {} };
struct TThread_P4_READ : TThread_Pg_READ { TThread_P4_READ(DriveSession &s, ParamTexts &t) : TThread_Pg_READ(s, t, 4) {} };
struct TThread_P5_READ : TThread_Pg_READ { TThread_P5_READ(DriveSession &s, ParamTexts &t) : TThread_Pg_READ(s, t, 5) {} };
struct TThread_P6_READ : TThread_Pg_READ { TThread_P6_READ(DriveSession &s, ParamTexts &t) : TThread_Pg_READ(s, t, 6) {} };
struct TThread_P7_READ : TThread_Pg_READ { TThread_P7_READ(DriveSession &s, ParamTexts &t) : TThread_Pg_READ(s, t, 7) {} };
struct TThread_P8_READ : TThread_Pg_READ { TThread_P8_READ(DriveSession &s, ParamTexts &t) : TThread_Pg_READ(s, t, 8) {} };
struct TThread_P9_READ : TThread_Pg_READ { TThread_P9_READ(DriveSession &s, ParamTexts &t) : TThread_Pg_READ(s, t, 9) {} };

} // namespace velmora
