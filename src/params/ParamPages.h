#pragma once

// The nine parameter pages and their readers. One page class builds every row from the
// catalogue's page metadata; P1, P3 and P5 add their own rules in thin subclasses.

#include <QStringList>
#include <QWidget>

#include <array>
#include <atomic>
#include <functional>
#include <vector>

#include "link/DriveSession.h"
#include "params/Catalogue.h"
#include "params/PageReader.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class TForm_Page;

class TForm_Page : public QWidget {
    Q_OBJECT
public:
    TForm_Page(int group, DriveSession &session, ParamTexts &texts, QWidget *parent = nullptr);
    ~TForm_Page() override;

    int group() const { return group_; }
    const ParamGroup &paramGroup() const { return ParamGroups.at(size_t(group_ - 1)); }

    // "Read Again": empties the value displays and reads the group.
    void btnReflashClick();
    // Shows the texts of a reader run (user-interface thread).
    virtual void showTexts(const QStringList &texts);
    // A list row's item text beside its number (in the empty list's placeholder).
    void showItemText(int row);

    // A row's Set button: the value write with the row's guard, value source and
    // follow-up. Row 28 of P2 is "dFLT", the parameter initialisation.
    void setClicked(int row);
    // The value texts a row's source offers, in the order they are tried.
    QStringList valueTexts(int row) const;

    QLabel *valueDisplay(int row) const { return values_.at(size_t(row)); }
    // The line under the rows: what the last Set refused and why (empty after a good one).
    QLabel *statusLine() const { return status_; }
    QWidget *entry(int row) const { return entries_.at(size_t(row)); }
    QPushButton *setButton(int row) const { return setButtons_.at(size_t(row)); }

    // How many rows stand in the first column; the rest form the second.
    static int firstColumnRows(int group);
    static bool staysOnTop(int group);
    static QString setButtonName(int group, int row);
    static QString entryName(int group, int row);

protected:
    void showEvent(QShowEvent *event) override;
    // After a row's read-back.
    virtual void afterSet(int row);
    void initialiseParameters(int row);
    // Rows under the parameters (the derived rows of P3 and P5).
    QWidget *extraArea() const { return extra_; }

    DriveSession &session_;
    ParamTexts &texts_;

private:
    void buildRow(int row, int x, int y);

    int group_;
    bool shownOnce_ = false;
    std::vector<QLabel *> values_;
    std::vector<QWidget *> entries_;
    std::vector<QPushButton *> setButtons_;
    QWidget *extra_ = nullptr;
    QLabel *status_ = nullptr;
};

// P1: rows P1-02 to P1-09 describe the motor and are offered only for motor code 0.
class TForm_P1 : public TForm_Page {
    Q_OBJECT
public:
    TForm_P1(DriveSession &s, ParamTexts &t, QWidget *parent = nullptr) : TForm_Page(1, s, t, parent) {}
    void showTexts(const QStringList &texts) override;

protected:
    void afterSet(int row) override;

private:
    void showMotorRows(bool show);
};

// P3 and P5: two loop gains shown again in radians per second.
class TForm_GainPage : public TForm_Page {
    Q_OBJECT
public:
    TForm_GainPage(int group, DriveSession &s, ParamTexts &t, QWidget *parent = nullptr);
    void showTexts(const QStringList &texts) override;

protected:
    void afterSet(int row) override;

private:
    void updateDerived();

private:
    std::array<int, 2> sources_{}; // rows whose value is converted
    std::array<QLabel *, 2> derived_{};
};

class TForm_P3 : public TForm_GainPage {
    Q_OBJECT
public:
    TForm_P3(DriveSession &s, ParamTexts &t, QWidget *parent = nullptr) : TForm_GainPage(3, s, t, parent) {}
};
class TForm_P5 : public TForm_GainPage {
    Q_OBJECT
public:
    TForm_P5(DriveSession &s, ParamTexts &t, QWidget *parent = nullptr) : TForm_GainPage(5, s, t, parent) {}
};

// The page of a group, of its own class where it has one.
TForm_Page *CreateParamPage(int group, DriveSession &session, ParamTexts &texts, QWidget *parent);

// The derived value: the shown number times 6.28, in the 15-digit general form.
QString RadiansText(const QString &shownHertz);

} // namespace velmora
