#pragma once

// Drive beside file: every parameter with the file's value and the drive's, the differing
// rows first and marked, each with a tick box where the window may write them back.

#include <QWidget>

#include <set>

#include "params/Compare.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace velmora {

class TForm_Compare : public QWidget {
    Q_OBJECT
public:
    // canWrite: offered from the write-to-drive preview, which writes the ticked rows.
    TForm_Compare(const QString &fileName, bool canWrite, QWidget *parent = nullptr);

    // Reads the drive and fills the table; false (and the reason shown in the window and
    // returned in error) when nothing could be compared.
    bool compare(DriveSession &session, const QStringList &fileLines, QString *error = nullptr);
    void showComparison(const DriveComparison &comparison);

    const DriveComparison &comparison() const { return comparison_; }
    QTableWidget *table() const { return table_; }
    // The identifiers of the ticked rows.
    std::set<QString> ticked() const;
    // Ticks every differing row, or none.
    void tickAll(bool on);

signals:
    // "Write Ticked": the rows to write, by identifier.
    void writeTicked(const std::set<QString> &ids);

private:
    DriveComparison comparison_;
    QTableWidget *table_;
    QLabel *summary_;
    QPushButton *write_ = nullptr;
};

} // namespace velmora
