#pragma once

// The read-only views of a parameter file: what was just saved, and a file opened.

#include <QWidget>

class QPlainTextEdit;

namespace velmora {

class TForm_FileView : public QWidget {
    Q_OBJECT
public:
    QPlainTextEdit *memo() const { return memo_; }
    void setLines(const QStringList &lines);

protected:
    TForm_FileView(const char *objectName, const QString &caption, const QSize &client, const char *memoName,
                   QWidget *parent);

private:
    QPlainTextEdit *memo_;
};

class TForm_Save_Report : public TForm_FileView {
    Q_OBJECT
public:
    explicit TForm_Save_Report(QWidget *parent = nullptr);
};

class TForm_OPEN_REPORT : public TForm_FileView {
    Q_OBJECT
public:
    explicit TForm_OPEN_REPORT(QWidget *parent = nullptr);
};

} // namespace velmora
