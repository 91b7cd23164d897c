#include "params/ParamPages.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "link/MessageService.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/DisplayRules.h"
#include "params/ParamTransactions.h"
#include "params/ValueCodec.h"
#include "widgets/GradientWidgets.h"
#include "widgets/TextBoxes.h"
#include "widgets/Placement.h"

namespace velmora {

namespace {

constexpr int kRowHeight = 24;
constexpr int kRowPitch = 26;
constexpr int kIdWidth = 56, kNameWidth = 150, kValueWidth = 78, kEntryWidth = 96, kSetWidth = 44;
constexpr int kColumnWidth = kIdWidth + kNameWidth + kValueWidth + kEntryWidth + kSetWidth + 5 * 3;
constexpr int kMargin = 10, kHeadingHeight = 20;
constexpr double kRadiansPerHertz = 6.28;
constexpr int kInitialisePauseMs = 1000;
constexpr int kEncoderCodeSkipped = 8; // P1-12: the drive has no encoder code 8

QString two(int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); }

} // namespace

// ---- page ----

int TForm_Page::firstColumnRows(int group)
{
    switch (group) {
    case 2: return 17;
    case 3: return 15;
    case 5: return 15;
    default: return int(ParamGroups.at(size_t(group - 1)).rows.size());
    }
}

bool TForm_Page::staysOnTop(int group)
{
    return group != 6 && group != 8 && group != 9;
}

QString TForm_Page::setButtonName(int group, int row)
{
    const int n = row + 1;
    if (group == 1)
        return (n >= 2 && n <= 9 ? QStringLiteral("btnP1_") : QStringLiteral("BtnP1_")) + two(n);
    if (group == 2 || group == 3)
        return QStringLiteral("btnP%1_").arg(group) + two(n);
    return QStringLiteral("BtnP%1_").arg(group) + two(n);
}

QString TForm_Page::entryName(int group, int row)
{
    const ParamRow &r = ParamGroups.at(size_t(group - 1)).rows[size_t(row)];
    const int n = row + 1;
    if (r.entry == EntryKind::Edit)
        return QStringLiteral("EditP%1_").arg(group) + two(n);
    if (group == 1 && n == 1)
        return QStringLiteral("ComboP1_1");
    if (group == 7 || group == 8)
        return QStringLiteral("ComboP%1_%2").arg(group).arg(n);
    return QStringLiteral("ComboP%1_").arg(group) + two(n);
}

TForm_Page::TForm_Page(int group, DriveSession &session, ParamTexts &texts, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | (staysOnTop(group) ? Qt::WindowStaysOnTopHint : Qt::Widget)),
      session_(session),
      texts_(texts),
      group_(group)
{
    const ParamGroup &g = paramGroup();
    setObjectName(QStringLiteral("TForm_P%1").arg(group));
    setWindowTitle(QString::fromUtf8(g.caption));

    const int rows = int(g.rows.size());
    const int first = firstColumnRows(group);
    const int columns = first < rows ? 2 : 1;
    values_.resize(size_t(rows));
    entries_.resize(size_t(rows));
    setButtons_.resize(size_t(rows));

    for (int c = 0; c < columns; ++c) {
        const int x = kMargin + c * (kColumnWidth + kMargin);
        const QStringList heads = group == 1 ? QStringList{"Menu", "Name", "Value"}
                                             : QStringList{"Menu", "Name", "Value", "Edit"};
        const int widths[4] = {kIdWidth, kNameWidth, kValueWidth, kEntryWidth};
        int hx = x;
        for (int h = 0; h < heads.size(); ++h) {
            auto *head = new QLabel(heads[h], this);
            head->setGeometry(hx, kMargin, widths[h], kHeadingHeight);
            head->setAlignment(Qt::AlignCenter);
            hx += widths[h] + 3;
        }
    }
    for (int row = 0; row < rows; ++row) {
        const int column = row < first ? 0 : 1;
        const int line = column == 0 ? row : row - first;
        buildRow(row, kMargin + column * (kColumnWidth + kMargin), kMargin + kHeadingHeight + 4 + line * kRowPitch);
    }

    const int longest = columns == 2 ? std::max(first, rows - first) : rows;
    int y = kMargin + kHeadingHeight + 4 + longest * kRowPitch + 6;
    extra_ = new QWidget(this);
    extra_->setGeometry(kMargin, y, columns * (kColumnWidth + kMargin) - kMargin, 0);
    if (group == 3 || group == 5) {
        extra_->setFixedHeight(3 * kRowPitch);
        y += 3 * kRowPitch + 6;
    }

    const int width = kMargin + columns * (kColumnWidth + kMargin);
    auto *reflash = new GradRoundBtn(QStringLiteral("Read Again"), this);
    reflash->setObjectName(QStringLiteral("btnReflash"));
    reflash->setGeometry(width - 2 * (100 + kMargin), y, 100, 32);
    connect(reflash, &QPushButton::clicked, this, &TForm_Page::btnReflashClick);
    auto *close = new GradRoundBtn(QStringLiteral("Close"), this);
    close->setObjectName(group == 3 ? QStringLiteral("BtnClose") : QStringLiteral("btnClose"));
    close->setGeometry(width - (100 + kMargin), y, 100, 32);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // Beside the buttons: what the last Set refused, with the range it accepts.
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("lbl_PageStatus"));
    status_->setGeometry(kMargin, y, width - 2 * (100 + kMargin) - 2 * kMargin, 32);
    status_->setWordWrap(true);
    setFixedSize(width, y + 32 + kMargin);

    texts_.showOnPage.at(size_t(group - 1)) = [this](const QStringList &t) { showTexts(t); };
}

TForm_Page::~TForm_Page()
{
    texts_.showOnPage.at(size_t(group_ - 1)) = nullptr;
}

void TForm_Page::buildRow(int row, int x, int y)
{
    const ParamRow &r = paramGroup().rows[size_t(row)];
    QWidget *column = this;
    auto place = [&](QWidget *w, int width) {
        w->setGeometry(x, y, width, kRowHeight);
        x += width + 3;
    };
    QLabel *id = SunkenText(column, (r.starred ? QStringLiteral("*") : QString()) + QLatin1String(r.id), {});
    place(id, kIdWidth);
    QLabel *name = SunkenText(column, QString::fromUtf8(r.name), {});
    name->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    name->setIndent(4);
    place(name, kNameWidth);
    FitTextToWidth(name, name->text(), 10);
    QLabel *value = SunkenText(column, QString(), {});
    value->setObjectName(QStringLiteral("STextP%1_").arg(group_) + two(row + 1));
    place(value, kValueWidth);
    values_[size_t(row)] = value;

    QWidget *entry = nullptr;
    if (r.entry == EntryKind::Edit) {
        entry = new QLineEdit(column);
    } else if (r.entry == EntryKind::List) {
        auto *combo = new QComboBox(column);
        // Lists whose text is written also take a typed value.
        combo->setEditable(r.source == ValueSource::ListText || r.source == ValueSource::ListPositionElseText);
        for (const char *item : r.items)
            combo->addItem(QString::fromUtf8(item));
        combo->setCurrentIndex(-1);
        entry = combo;
    }
    if (entry) {
        entry->setObjectName(entryName(group_, row));
        place(entry, kEntryWidth);
    } else {
        x += kEntryWidth + 3;
    }
    const QString help = RowHelp(r, paramGroup().defs[size_t(row)]);
    for (QWidget *w : {static_cast<QWidget *>(id), static_cast<QWidget *>(name), static_cast<QWidget *>(value), entry})
        if (w)
            w->setToolTip(help);
    entries_[size_t(row)] = entry;

    const bool dflt = r.entry == EntryKind::Button;
    auto *set = new GradRoundBtn(dflt ? QStringLiteral("dFLT") : QStringLiteral("Set"), column);
    set->setObjectName(setButtonName(group_, row));
    place(set, kSetWidth);
    setButtons_[size_t(row)] = set;
    connect(set, &QPushButton::clicked, this, [this, row] { setClicked(row); });
}

void TForm_Page::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    CentreOnScreen(this);
    TThread_Pg_READ(session_, texts_, group_).run();
}

void TForm_Page::btnReflashClick()
{
    for (QLabel *v : values_)
        v->clear();
    TThread_Pg_READ(session_, texts_, group_).run();
}

void TForm_Page::showTexts(const QStringList &texts)
{
    for (int i = 0; i < texts.size() && i < int(values_.size()); ++i)
        values_[size_t(i)]->setText(texts[i]);
    for (int row = 0; row < int(values_.size()); ++row)
        showItemText(row);
}

void TForm_Page::showItemText(int row)
{
    // A list row whose value is an item's number: the item's text, greyed in the empty
    // list beside it. Never a selection, so nothing of it is written by Set.
    const ParamRow &r = paramGroup().rows[size_t(row)];
    auto *combo = qobject_cast<QComboBox *>(entry(row));
    if (!combo || r.source == ValueSource::ListText || r.source == ValueSource::FixedText)
        return;
    bool ok = false;
    const int number = values_[size_t(row)]->text().trimmed().toInt(&ok);
    int position = number;
    if (r.source == ValueSource::MappedListPosition && number > 7)
        position = number == 8 ? -1 : number - 1; // 8 stands for no item
    const bool known = ok && position >= 0 && position < int(r.items.size());
    combo->setPlaceholderText(known ? QStringLiteral("%1 = %2").arg(number).arg(QString::fromUtf8(r.items[size_t(position)]))
                                    : QString());
}

QStringList TForm_Page::valueTexts(int row) const
{
    const ParamRow &r = paramGroup().rows[size_t(row)];
    const auto *edit = qobject_cast<const QLineEdit *>(entry(row));
    const auto *combo = qobject_cast<const QComboBox *>(entry(row));
    const int position = combo ? combo->currentIndex() : -1;
    const QString listText = combo ? combo->currentText() : QString();
    switch (r.source) {
    case ValueSource::EditText: return {edit ? edit->text() : QString()};
    case ValueSource::ListText: return {listText};
    case ValueSource::ListPosition: return {QString::number(position)};
    case ValueSource::ListPositionElseText: {
        // The text in the box decides, never a list position left over from before it was
        // typed over: an item's own text means that item, anything else is typed text.
        const int item = combo && !listText.trimmed().isEmpty() ? combo->findText(listText, Qt::MatchExactly) : -1;
        if (item >= 0)
            return {QString::number(item), listText};
        return {listText};
    }
    case ValueSource::MappedListPosition:
        return {QString::number(position < kEncoderCodeSkipped ? position : position + 1)};
    case ValueSource::FixedText: return {QStringLiteral("1")};
    }
    return {};
}

void TForm_Page::setClicked(int row)
{
    const ParamRow &r = paramGroup().rows[size_t(row)];
    const TParamDef &def = paramGroup().defs[size_t(row)];
    if (r.entry == EntryKind::Button) {
        initialiseParameters(row);
        return;
    }
    // The first text the record accepts; when none does, the write refuses the last.
    const QStringList candidates = valueTexts(row);
    QString text = candidates.value(candidates.size() - 1);
    for (const QString &candidate : candidates) {
        if (ConvertsFor(def, candidate)) {
            text = candidate;
            break;
        }
    }
    std::function<void()> stationChange;
    if (r.followUp == FollowUp::StationChange) {
        stationChange = [this, text] {
            bool ok = false;
            const int station = text.trimmed().toInt(&ok);
            if (ok)
                session_.setStation(static_cast<uint8_t>(station & 0xFF));
        };
    }
    QLabel *display = valueDisplay(row);
    const ValueWriteResult result = ValueWrite(session_, def, text, r.servoOffRequired,
                                               [display](const QString &t) { display->setText(t); }, stationChange);
    showItemText(row);
    if (result.status == ValueWriteResult::WrongParameter)
        status_->setText(QStringLiteral("%1: \"%2\" refused; it takes %3").arg(QLatin1String(r.id), text, RangeText(r, def)));
    else
        status_->clear();
    if (result.status == ValueWriteResult::Written)
        afterSet(row);
}

void TForm_Page::afterSet(int) {}

void TForm_Page::initialiseParameters(int row)
{
    const TParamDef &def = paramGroup().defs[size_t(row)];
    QPushButton *button = setButton(row);
    if (CheckServoOffForWrite(session_, texts::ServoOn) != ServoCheck::Off)
        return;
    if (!session_.messages() || !session_.messages()->askYesNo(QString::fromLatin1(texts::InitializeQuestion)))
        return;
    WriteWord word;
    if (!Change_Int2HEX(QStringLiteral("1"), def, word))
        return;
    // The row has no entry box: while it works, the button takes that room for its caption.
    const QFont captionFont = button->font();
    const QRect resting = button->geometry();
    button->setGeometry(resting.adjusted(-(kEntryWidth + 3), 0, 0, 0));
    FitTextToWidth(button, QStringLiteral("Initializing..."), 6);
    button->setText(QStringLiteral("Initializing..."));
    WriteOneExchange(session_, def, word);
    // The drive needs its second to restore every group.
    PauseKeepingEvents(kInitialisePauseMs);
    TThread_Pg_READ(session_, texts_, group_).run();
    button->setText(QStringLiteral("dFLT"));
    button->setFont(captionFont);
    button->setGeometry(resting);
}

// ---- P1 ----

void TForm_P1::showMotorRows(bool show)
{
    for (int row = 1; row <= 8; ++row) {
        valueDisplay(row)->setVisible(show);
        entry(row)->setVisible(show);
        setButton(row)->setVisible(show);
    }
}

void TForm_P1::afterSet(int row)
{
    if (row == 0)
        showMotorRows(qobject_cast<QComboBox *>(entry(0))->currentText() == QLatin1String("0"));
}

void TForm_P1::showTexts(const QStringList &texts)
{
    TForm_Page::showTexts(texts);
    bool ok = false;
    const int motor = texts.value(0).toInt(&ok);
    const bool custom = ok && motor == 0;
    if (custom) {
        for (int row = 1; row <= 8; ++row)
            valueDisplay(row)->clear(); // the motor's own data is typed, not read
    }
    showMotorRows(custom);
}

// ---- P3, P5 ----

QString RadiansText(const QString &shownHertz)
{
    bool ok = false;
    const double hz = shownHertz.toDouble(&ok);
    if (!ok)
        return QString();
    return QString::number(hz * kRadiansPerHertz, 'g', 15);
}

TForm_GainPage::TForm_GainPage(int group, DriveSession &s, ParamTexts &t, QWidget *parent)
    : TForm_Page(group, s, t, parent)
{
    sources_ = group == 3 ? std::array<int, 2>{4, 6} : std::array<int, 2>{4, 5};
    const char *names[2][2] = {{"SC Loop Gain1 [rad/sec]", "SC Loop Gain2 [rad/sec]"},
                               {"PC P Gain1 [rad/sec]", "PC P Gain2 [rad/sec]"}};
    const int which = group == 3 ? 0 : 1;
    auto *note = new QLabel(group == 3 ? QStringLiteral("** VD-520 Vale") : QStringLiteral("** VD-520 Value"),
                            extraArea());
    note->setGeometry(0, 0, 300, kRowHeight);
    for (int i = 0; i < 2; ++i) {
        const int y = (i + 1) * kRowPitch;
        SunkenText(extraArea(), QStringLiteral("P%1-").arg(group) + two(sources_[size_t(i)] + 1), QRect(0, y, kIdWidth, kRowHeight));
        QLabel *name = SunkenText(extraArea(), QLatin1String(names[which][i]), QRect(kIdWidth + 3, y, kNameWidth, kRowHeight));
        name->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        name->setIndent(4);
        derived_[size_t(i)] = SunkenText(extraArea(), QString(), QRect(kIdWidth + kNameWidth + 6, y, kValueWidth, kRowHeight));
        derived_[size_t(i)]->setObjectName(QStringLiteral("STextP%1_").arg(group) + two(sources_[size_t(i)] + 1)
                                           + QStringLiteral("_1"));
    }
}

void TForm_GainPage::showTexts(const QStringList &texts)
{
    TForm_Page::showTexts(texts);
    updateDerived();
}

void TForm_GainPage::afterSet(int row)
{
    if (row == sources_[0] || row == sources_[1])
        updateDerived();
}

void TForm_GainPage::updateDerived()
{
    for (int i = 0; i < 2; ++i)
        derived_[size_t(i)]->setText(RadiansText(valueDisplay(sources_[size_t(i)])->text()));
}

TForm_Page *CreateParamPage(int group, DriveSession &session, ParamTexts &texts, QWidget *parent)
{
    switch (group) {
    case 1: return new TForm_P1(session, texts, parent);
    case 3: return new TForm_P3(session, texts, parent);
    case 5: return new TForm_P5(session, texts, parent);
    default: return new TForm_Page(group, session, texts, parent);
    }
}

} // namespace velmora
