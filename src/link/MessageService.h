#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include <deque>

namespace velmora {

// Every message box and file dialog goes through this service, so a test can answer and
// record them instead of blocking on a modal window.
class MessageService {
public:
    virtual ~MessageService() = default;
    virtual void show(const QString &text) = 0;
    virtual bool askYesNo(const QString &text) = 0;
    // A failure with a second line that says what the system reported.
    virtual void error(const QString &text, const QString &detail) = 0;
    virtual QString chooseOpenFile(const QString &caption, const QString &filter) = 0;
    virtual QString chooseSaveFile(const QString &caption, const QString &filter) = 0;
    // Boxes and dialogs open now (waiting for the user). A message about the link waits
    // until none is, so the user never meets two at once.
    virtual int openBoxes() const { return 0; }
};

// Records every text; answers questions and file choices from queues (No / empty when empty).
class RecordingMessageService : public MessageService {
public:
    void show(const QString &text) override { shown << text; }
    bool askYesNo(const QString &text) override;
    void error(const QString &text, const QString &detail) override;
    QString chooseOpenFile(const QString &caption, const QString &filter) override;
    QString chooseSaveFile(const QString &caption, const QString &filter) override;

    QStringList shown;     // every text shown, questions and errors included, in order
    QStringList details;   // second lines of error()
    std::deque<bool> answers;
    std::deque<QString> files;
};

// For the command line: texts go to standard error, questions are answered No.
class ConsoleMessageService : public MessageService {
public:
    void show(const QString &text) override;
    bool askYesNo(const QString &text) override;
    void error(const QString &text, const QString &detail) override;
    QString chooseOpenFile(const QString &, const QString &) override { return {}; }
    QString chooseSaveFile(const QString &, const QString &) override { return {}; }
};

// Asks for a file name through the save dialog (suffix added when the name has none) and
// writes it; cancelling does nothing, a failure is reported in the error box naming `what`.
// Returns whether a file was written.
bool SaveThroughDialog(MessageService &messages, const QString &suffix, const QString &what,
                       const std::function<bool(const QString &path, QString *error)> &write);

} // namespace velmora
