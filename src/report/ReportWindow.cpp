#include "report/ReportWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include "link/DriveSession.h"
#include "link/MessageService.h"
#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/DisplayRules.h"
#include "params/ParamTransactions.h"
#include "params/ValueCodec.h"
#include "monitor/AlarmCommands.h"
#include "params/Catalogue.h"
#include "params/ChangeRecordCsv.h"
#include "params/PageReader.h"
#include "params/ParamFile.h"
#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"
#include "widgets/ProcessWindow.h"

namespace velmora {

namespace {
// Margins, frame and the vertical scroll bar around the sheet's columns, about.
constexpr int kReportChromePx = 48;
constexpr double kSmallestSheetPoints = 6.5;
} // namespace

namespace {

constexpr int kProgressDoneMs = 50;
// Offered first, and added to a name typed without an extension.
constexpr char kWorkbookFilter[] = "*.vts;;*.xlsx";
constexpr char kWorkbookSuffix[] = ".vts";
constexpr int kCellPaddingPx = 8;
static_assert(ReportSheet::kHistoryCount == kAlarmHistoryLength);

QString bitText(uint8_t bit)
{
    return bit ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

// ---- the page as a table ----

ReportSheetModel::ReportSheetModel(QObject *parent) : QAbstractTableModel(parent) {}

int ReportSheetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ReportSheet::kRows;
}

int ReportSheetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ReportSheet::kColumns;
}

QVariant ReportSheetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1, column = index.column() + 1;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return sheet_.text(row, column);
    case Qt::TextAlignmentRole:
        return ReportSheet::isMarkColumn(column) ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::FontRole:
        if (row == 1) {
            QFont bold = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QVariant ReportSheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    // Spreadsheet headings: letters over the columns, numbers beside the rows.
    if (orientation == Qt::Horizontal)
        return QString(QChar(QLatin1Char('A').unicode() + section));
    return section + 1;
}

Qt::ItemFlags ReportSheetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return ReportSheet::isValueCell(index.row() + 1, index.column() + 1) ? base | Qt::ItemIsEditable : base;
}

bool ReportSheetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    if (!sheet_.setValue(index.row() + 1, index.column() + 1, value.toString()))
        return false;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

void ReportSheetModel::fillColumn(int column, int firstRow, int count, const QStringList &texts)
{
    if (count <= 0)
        return;
    sheet_.fillColumn(column, firstRow, count, texts);
    emit dataChanged(index(firstRow - 1, column - 1), index(firstRow + count - 2, column - 1),
                     {Qt::DisplayRole, Qt::EditRole});
}

void ReportSheetModel::clearValues()
{
    sheet_.clearValues();
    emit dataChanged(index(0, 0), index(ReportSheet::kRows - 1, ReportSheet::kColumns - 1),
                     {Qt::DisplayRole, Qt::EditRole});
}

void TThread_F1book_SET::run()
{
    s_.runOnUi([this] { model_.clearValues(); });
}

// ---- the window ----

TForm_Report::TForm_Report(DriveSession &session, ParamTexts &texts, AlarmHistoryState &history,
                           TForm_Process &process, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      s_(session), texts_(texts), history_(history), process_(process)
{
    setObjectName(QStringLiteral("TForm_Report"));
    setWindowTitle(QStringLiteral("REPORT"));
    setFixedSize(kClientWidth, kClientHeight);

    auto *buttons = new QHBoxLayout;
    const auto addButton = [this, buttons](const char *name, const char *caption, const auto &click) {
        auto *button = new GradRoundBtn(QLatin1String(caption), this);
        button->setObjectName(QLatin1String(name));
        button->setMinimumHeight(30);
        connect(button, &QPushButton::clicked, this, click);
        buttons->addWidget(button);
    };
    addButton("Button_Read", "Read", [this] { Button_ReadClick(); });
    addButton("Button_Clear", "Clear", [this] { Button_ClearClick(); });
    addButton("Button_Save", "Save", [this] { Button_SaveClick(); });
    // The main window's side of closing (its poller, its enabled state) is its own.
    addButton("Button_Quit", "Close", [this] { close(); });

    model_ = new ReportSheetModel(this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("F1Book_Report"));
    view_->setModel(model_);
    // Every column in view: the window widens to the columns, up to the screen's width, and
    // beyond that the sheet's font gets smaller.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const int widest = screen ? screen->availableGeometry().width() : kClientWidth;
    int columns = 0;
    for (;;) {
        view_->setFont(fixed);
        const QFontMetrics metrics(fixed);
        const int charWidth = metrics.horizontalAdvance(QLatin1Char('0'));
        columns = 0;
        for (int column = 1; column <= ReportSheet::kColumns; ++column) {
            view_->setColumnWidth(column - 1, int(ReportSheet::columnWidth(column) * charWidth) + kCellPaddingPx);
            columns += view_->columnWidth(column - 1);
        }
        view_->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
        const int rowHeader = metrics.horizontalAdvance(QStringLiteral("000")) + kCellPaddingPx;
        if (rowHeader + columns + kReportChromePx <= widest || fixed.pointSizeF() <= kSmallestSheetPoints)
            break;
        fixed.setPointSizeF(fixed.pointSizeF() - 0.5);
    }
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(view_, 1);
    const QMargins m = layout->contentsMargins();
    const int needed = m.left() + m.right() + 2 * view_->frameWidth() + view_->verticalHeader()->sizeHint().width()
                       + columns + view_->verticalScrollBar()->sizeHint().width();
    setFixedSize(std::min(std::max(int(kClientWidth), needed), widest), kClientHeight);
    CentreOnScreen(this);
}

void TForm_Report::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        Button_ClearClick();
    }
}

void TForm_Report::closeEvent(QCloseEvent *event)
{
    // A read waits in nested event loops; the window must outlive it.
    if (reading_)
        event->ignore();
    else
        QWidget::closeEvent(event);
}

void TForm_Report::Button_ReadClick()
{
    if (reading_)
        return;
    reading_ = true;
    process_.setPosition(TForm_Process::kMinimum);
    process_.setStep(TForm_Process::kDefaultStep);
    process_.setCaptionText(QString::fromLatin1(texts::ReadingParameters));
    process_.show();

    // Only what the drive answered this time is shown: after a lost or bad reply a group's
    // cells stay empty rather than show texts from some earlier read as its settings.
    std::array<QStringList, 9> shown;
    for (int g = 1; g <= 9; ++g) {
        if (TThread_Pg_READ(s_, texts_, g).run() == ReplyOutcome::Good)
            shown[size_t(g - 1)] = texts_.P(g);
        process_.stepIt();
    }
    QStringList alarms;
    if (TThread_Alarm_History(s_, history_, {}).run() == ReplyOutcome::Good) {
        for (const QString &name : history_.AlarmHistory)
            alarms << name;
    }
    process_.stepIt();

    // The motor code decides whether the motor data are the drive's own; without a whole
    // number there is nothing sound to show, so the page keeps what it had.
    const QString motor = shown[0].value(0);
    bool whole = false;
    motor.toInt(&whole);
    if (!whole) {
        endRead();
        s_.messages()->show(QStringLiteral("The motor code (P1-01) \"%1\" is not a whole number.").arg(motor));
        return;
    }
    ApplyMotorDefaults(texts_.P(1));
    shown[0] = texts_.P(1);

    for (int g = 1; g <= 9; ++g) {
        const ReportPlace place = ReportSheet::groupPlace(g);
        model_->fillColumn(place.column, place.firstRow, int(ParamGroups[size_t(g - 1)].defs.size()),
                           shown[size_t(g - 1)]);
    }
    model_->fillColumn(ReportSheet::kStatusValueColumn, ReportSheet::kHistoryFirstRow, ReportSheet::kHistoryCount,
                       alarms);

    const ReplyState &reply = s_.reply;
    QStringList inputs;
    for (uint8_t bit : reply.InBits)
        inputs << bitText(bit);
    model_->fillColumn(ReportSheet::kStatusValueColumn, ReportSheet::kInputFirstRow, ReportSheet::kInputCount, inputs);
    // In the order of the status window's output lamps: 1..9, then 0.
    QStringList outputs;
    for (size_t i = 1; i < reply.OutBits.size(); ++i)
        outputs << bitText(reply.OutBits[i]);
    outputs << bitText(reply.OutBits[0]);
    model_->fillColumn(ReportSheet::kStatusValueColumn, ReportSheet::kOutputFirstRow, ReportSheet::kOutputCount,
                       outputs);

    process_.stepIt();
    process_.setPosition(TForm_Process::kMaximum);
    PauseKeepingEvents(kProgressDoneMs);
    endRead();
}

void TForm_Report::endRead()
{
    process_.hide();
    reading_ = false;
}

void TForm_Report::Button_ClearClick()
{
    if (reading_)
        return;
    TThread_F1book_SET(s_, *model_).run();
}

void TForm_Report::Button_SaveClick()
{
    if (reading_)
        return;
    QString path = s_.messages()->chooseSaveFile(QStringLiteral("Save"), QLatin1String(kWorkbookFilter));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1String(kWorkbookSuffix);
    QString error;
    // The session's change record goes in as a second sheet.
    TableSheet changes{QStringLiteral("CHANGES"), ChangeRecordHeadings(), {}};
    for (const ChangeEntry &e : s_.changes.entries())
        changes.rows.push_back(ChangeRecordRow(e));
    if (!SaveWorkbook(model_->sheet(), path, &error, {changes})) {
        s_.messages()->error(QStringLiteral("The report could not be saved as %1.").arg(QDir::toNativeSeparators(path)),
                             error);
    }
}

} // namespace velmora
