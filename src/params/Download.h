#pragma once

// Writing a parameter file into the drive: every value is checked against the catalogue
// and encoded before the first request goes out, then the groups are written one
// multi-register request each. Shared by the write-to-drive window and the command line;
// no widgets here.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

#include <array>
#include <set>

#include "link/DriveSession.h"

namespace velmora {

// One request of a run: function 16 with all its values, or function 6 with one.
struct DownloadRequest {
    uint8_t function = 16;
    uint16_t startRegister = 0;
    std::vector<WriteWord> words;
    int group = 0;            // 1..9; what the request writes, for progress and reports
    bool endsGroup = false;   // the last request of its group
};

// Every request of a run, in order, from a file whose values all passed.
struct DownloadPlan {
    int motorCode = 0;
    uint8_t stationAfterP1 = 0; // the drive answers to P1-18 once P1 is written
    std::vector<DownloadRequest> requests;
    std::array<QStringList, 9> texts; // the file's values, group by group, for the check after
    // Set for a partial restore: only these registers are written and checked after.
    std::optional<std::set<uint16_t>> only;
};

// A partial restore: one write-one request for each of the registers asked for (in
// catalogue order), each with the word the full plan would write, and the same check after,
// over those registers only. Registers the full plan does not write (P1-02..P1-09 when the
// motor comes from the drive's list) are left out and listed in skipped. The station
// changes after the write only when P1-18 is among them.
DownloadPlan PartialPlan(const DownloadPlan &full, const std::set<uint16_t> &registers, uint8_t stationNow,
                         std::vector<uint16_t> *skipped = nullptr);

// The outcome of checking a file's lines. messages holds what the user is told, in order
// (a file that fails may give two, P1-01 and then P1-10..P1-20); plan is set only when
// every value passed its check and its encoder.
struct DownloadCheck {
    QStringList messages;
    // Beside each message: which line of the file and what it holds ("" where none applies).
    QStringList details;
    std::optional<DownloadPlan> plan;
};

// A file's text as it may be shown: printable characters only (a run of anything else,
// such as a binary file's bytes, becomes one "?"), at most maxLength of them.
QString PrintableExcerpt(const QString &text, int maxLength = 40);

// Checks the 161 lines of a parameter file (missing lines count as empty).
DownloadCheck CheckDownloadLines(const QStringList &lines);

// A parameter the drive does not hold as the file has it, after a run.
struct DownloadMismatch {
    QString id;    // "P4-05"
    QString file;  // the file's value as it displays
    QString drive; // the drive's value as it displays; "no answer" when its group was not read
    bool unanswered = false; // the read-back of its group got no good reply
};

struct DownloadResult {
    // Every value the run wrote was read back from the drive (at the station it answers to
    // now) and is what the file holds, as the file's own texts display. Acknowledgements do
    // not decide: a lost reply to a write the drive took still completes, a write the drive
    // never took does not.
    bool complete = false;
    bool linkFailed = false;
    std::vector<ReplyOutcome> outcomes; // one per request sent
    std::vector<DownloadMismatch> mismatches;
};

// The mismatches as lines for the user: "P4-05: file 555, drive 500", at most maxLines of them.
QString DescribeMismatches(const std::vector<DownloadMismatch> &mismatches, int maxLines = 20);

// Sends the plan's requests, each followed by the response wait, then reads every group
// back and compares it with the file. Once the link has failed nothing more is sent.
// progress receives 10 after P1, 20 after P2 .. 90.
DownloadResult RunDownload(DriveSession &s, const DownloadPlan &plan,
                           const std::function<void(int)> &progress = {});

} // namespace velmora
