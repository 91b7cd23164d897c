#include "tuning/MonitorWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "link/MessageService.h"
#include "tuning/ChartOps.h"
#include "tuning/StripChart.h"
#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"

namespace velmora {

namespace {

constexpr QRgb kLime = 0xFF00FF00;
constexpr QRgb kYellow = 0xFFFFFF00;
constexpr std::array<int, 4> kInitialItems{1, 2, 9, 10};
constexpr std::array<const char *, 4> kLabelNames{"Label_Series1", "Label_Series2", "Label_series3", "Label_Series4"};
constexpr std::array<const char *, 4> kSeriesNames{"Series1", "Series2", "LineSeries1", "LineSeries2"};
const QStringList kClearedHeaders{QString(), QStringLiteral("Series1"), QStringLiteral("Series2"),
                                  QStringLiteral("Series3"), QStringLiteral("series4")};
// The table keeps its newest rows in view once more samples than this have come.
constexpr int kRowsBeforeGrowing = 11;

QRgb seriesColour(int i) { return i % 2 == 0 ? kLime : kYellow; }

} // namespace

// ---- value table ----

ChartValueModel::ChartValueModel(const std::array<StripSeries *, 4> &series, QObject *parent)
    : QAbstractTableModel(parent), series_(series)
{
}

int ChartValueModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : rows_; }
int ChartValueModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 5; }

QVariant ChartValueModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const int row = index.row() + 1; // grid row; row 0 is the header
    if (index.column() == 0)
        return row <= counter_ ? QVariant(QString::number(row)) : QVariant();
    const StripSeries *s = series_[size_t(index.column() - 1)];
    if (!s || row > s->count())
        return {};
    // The plotted value is the display text read back (at most seven significant digits),
    // so this gives the text again.
    return QString::number(s->y(row - 1), 'g', 7);
}

QVariant ChartValueModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    return headers_.value(section);
}

void ChartValueModel::setHeaders(const QStringList &headers)
{
    for (int c = 1; c <= 4; ++c)
        headers_[c] = headers.value(c);
    emit headerDataChanged(Qt::Horizontal, 0, 4);
}

void ChartValueModel::setCounter(int counter)
{
    counter_ = counter;
}

void ChartValueModel::addRow()
{
    beginInsertRows({}, rows_, rows_);
    ++rows_;
    endInsertRows();
}

void ChartValueModel::clearAll()
{
    counter_ = 0;
    headers_ = QStringList(5);
    emit headerDataChanged(Qt::Horizontal, 0, 4);
    refresh();
}

void ChartValueModel::refresh()
{
    emit dataChanged(index(0, 0), index(rows_ - 1, 4));
}

void ChartValueModel::refreshRows(int first, int second)
{
    for (int row : {first, second}) {
        if (row >= 1 && row <= rows_)
            emit dataChanged(index(row - 1, 0), index(row - 1, 4));
    }
}

// ---- window ----

TForm_Chart::TForm_Chart(DriveSession &session, ChartMemory &memory, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      s_(session),
      memory_(memory)
{
    setObjectName(QStringLiteral("TForm_Chart"));
    setWindowTitle(QStringLiteral("Monitoring Window"));
    setFixedSize(767, 500);
    for (int i = 0; i < 4; ++i)
        selections_[size_t(i)] = kInitialItems[size_t(i)];

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    for (int i = 0; i < 4; ++i) {
        auto *combo = new QComboBox(toolBar_);
        combo->setObjectName(QStringLiteral("ComboBox_Series%1").arg(i + 1));
        for (const char *name : ChartSignalNames)
            combo->addItem(QLatin1String(name));
        combo->setCurrentIndex(kInitialItems[size_t(i)] - 1);
        combo->setFixedWidth(136);
        connect(combo, &QComboBox::currentIndexChanged, this, [this, i](int index) {
            selections_[size_t(i)] = index + 1;
            labels_[size_t(i)]->setText(combos_[size_t(i)]->currentText());
            labels_[size_t(i)]->adjustSize();
        });
        toolBar_->addWidget(combo);
        combos_[size_t(i)] = combo;
    }
    for (int c = 1; c <= 2; ++c) {
        auto *save = new QToolButton(toolBar_);
        save->setObjectName(QStringLiteral("SBtn_Save_Chart%1").arg(c));
        save->setText(QStringLiteral("Chart%1 Save").arg(c));
        save->setAutoRaise(true);
        connect(save, &QToolButton::clicked, this, [this, c] { saveChart(c); });
        toolBar_->addWidget(save);
    }

    chart1_ = new StripChart(this);
    chart1_->setObjectName(QStringLiteral("Chart1"));
    chart2_ = new StripChart(this);
    chart2_->setObjectName(QStringLiteral("Chart2"));
    for (int i = 0; i < 4; ++i) {
        StripChart *chart = i < 2 ? chart1_ : chart2_;
        series_[size_t(i)] = chart->addSeries(QLatin1String(kSeriesNames[size_t(i)]), QColor::fromRgb(seriesColour(i)));
        auto *label = new QLabel(combos_[size_t(i)]->currentText(), chart);
        label->setObjectName(QLatin1String(kLabelNames[size_t(i)]));
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, QColor::fromRgb(seriesColour(i)));
        label->setPalette(p);
        label->move(70 + (i % 2) * 170, 4);
        label->adjustSize();
        labels_[size_t(i)] = label;
    }
    for (StripChart *chart : {chart1_, chart2_})
        chart->setFixedSize(554, 232);

    model_ = new ChartValueModel(series_, this);
    model_->setHeaders(kClearedHeaders);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("StringGrid_Value"));
    table_->setModel(model_);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(18);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // A fixed width: fitting it to its contents would measure every row on every sample.
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
    table_->horizontalHeader()->resizeSection(0, 56);
    table_->horizontalHeader()->setMinimumSectionSize(24);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto button = [this](const char *name, const char *caption) {
        auto *b = new GradRoundBtn(QLatin1String(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumHeight(26);
        return b;
    };
    start_ = button("Btn_Start", "Start");
    QPushButton *stop = button("Btn_Stop", "Stop");
    QPushButton *autoScale = button("Btn_auto", "Auto");
    QPushButton *zoom = button("Btn_zoom", "Zoom");
    QPushButton *clear = button("Btn_Clear", "Clear");
    QPushButton *scroll = button("Btn_Scroll_ONOFF", "Scroll On/OFF");
    close_ = button("btnClose", "Close");
    connect(start_, &QPushButton::clicked, this, &TForm_Chart::Btn_StartClick);
    connect(stop, &QPushButton::clicked, this, &TForm_Chart::Btn_StopClick);
    connect(autoScale, &QPushButton::clicked, this, &TForm_Chart::Btn_autoClick);
    connect(zoom, &QPushButton::clicked, this, &TForm_Chart::Btn_zoomClick);
    connect(clear, &QPushButton::clicked, this, &TForm_Chart::Btn_ClearClick);
    connect(scroll, &QPushButton::clicked, this, &TForm_Chart::Btn_Scroll_ONOFFClick);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);

    auto *range = new QGroupBox(QStringLiteral("Range Setting"), this);
    auto *rangeGrid = new QGridLayout(range);
    xRange_ = new QSpinBox(range);
    xRange_->setObjectName(QStringLiteral("SpinEditXrange"));
    xRange_->setRange(50, 1000);
    xRange_->setSingleStep(50);
    xRange_->setValue(50);
    yRange_ = new QSpinBox(range);
    yRange_->setObjectName(QStringLiteral("SpinEditYrange"));
    yRange_->setRange(10, 5000);
    yRange_->setSingleStep(50);
    yRange_->setValue(100);
    rangeGrid->addWidget(new QLabel(QStringLiteral("X Range"), range), 0, 0);
    rangeGrid->addWidget(xRange_, 0, 1);
    rangeGrid->addWidget(new QLabel(QStringLiteral("Y Range"), range), 1, 0);
    rangeGrid->addWidget(yRange_, 1, 1);

    auto *charts = new QVBoxLayout;
    charts->addWidget(chart1_);
    charts->addWidget(chart2_);
    auto *side = new QGridLayout;
    side->addWidget(table_, 0, 0, 1, 2);
    side->addWidget(start_, 1, 0);
    side->addWidget(stop, 1, 1);
    side->addWidget(autoScale, 2, 0);
    side->addWidget(zoom, 2, 1);
    side->addWidget(clear, 3, 0);
    side->addWidget(scroll, 3, 1);
    side->addWidget(range, 4, 0, 1, 2);
    side->addWidget(close_, 5, 0, 1, 2);
    side->setRowStretch(0, 1);
    auto *body = new QHBoxLayout;
    body->addLayout(charts);
    body->addLayout(side, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(toolBar_);
    layout->addLayout(body);
    CentreOnScreen(this);
}

TForm_Chart::~TForm_Chart()
{
    if (sampler_)
        sampler_->stopAndWait();
}

void TForm_Chart::setSamplingControls(bool sampling)
{
    close_->setEnabled(!sampling);
    toolBar_->setEnabled(!sampling);
}

void TForm_Chart::Btn_StartClick()
{
    if (sampler_) { // a sampler that ended itself on a link failure
        sampler_->stopAndWait();
        sampler_.reset();
    }
    setSamplingControls(true);
    ChartSampler::Hooks hooks;
    hooks.append = [this](const ChartSample &sample) { appendSample(sample); };
    hooks.linkFailed = [this] {
        start_->setEnabled(true);
        close_->setEnabled(true);
    };
    sampler_ = std::make_unique<TThread_Chart_Read>(s_, selections_, counter_, std::move(hooks));
    sampler_->start();
    running_ = true;
    start_->setEnabled(false);
    QStringList headers(5);
    for (int i = 0; i < 4; ++i)
        headers[i + 1] = combos_[size_t(i)]->currentText();
    model_->setHeaders(headers);
}

void TForm_Chart::Btn_StopClick()
{
    close_->setEnabled(true);
    if (running_) {
        if (sampler_) {
            sampler_->stopAndWait();
            sampler_.reset();
        }
        running_ = false;
        start_->setEnabled(true);
    }
    toolBar_->setEnabled(true);
}

void TForm_Chart::appendSample(const ChartSample &sample)
{
    model_->setCounter(sample.counter);
    for (int i = 0; i < 4; ++i)
        series_[size_t(i)]->append(sample.values[size_t(i)], QColor::fromRgb(seriesColour(i)));
    if (sample.counter > kRowsBeforeGrowing) {
        model_->addRow();
        table_->verticalScrollBar()->setValue(table_->verticalScrollBar()->value() + 1);
    }
    model_->refreshRows(sample.counter, int(series_[0]->count()));
    ChartMemory &memory = memory_;
    FollowHorizontally(*chart1_, *series_[0]);
    FollowHorizontally(*chart2_, *series_[2]);
    FollowVertically(*chart1_, *series_[0], memory.previous1, memory.scrollOn);
    FollowVertically(*chart2_, *series_[2], memory.previous3, memory.scrollOn);
}

void TForm_Chart::Btn_zoomClick()
{
    chart1_->verticalAxis().setAutomatic(false);
    chart2_->verticalAxis().setAutomatic(false);
    if (ZoomChart(*chart1_, *series_[0], xRange_->value(), yRange_->value()))
        ZoomChart(*chart2_, *series_[2], xRange_->value(), yRange_->value());
}

void TForm_Chart::Btn_autoClick()
{
    if (AutoScaleChart(*chart1_, *series_[0], xRange_->value()))
        AutoScaleChart(*chart2_, *series_[2], xRange_->value());
}

void TForm_Chart::Btn_ClearClick()
{
    Btn_StopClick();
    for (int i : {1, 0, 2, 3})
        series_[size_t(i)]->clear();
    ResetChartAxes(*chart1_);
    ResetChartAxes(*chart2_);
    counter_ = 0;
    model_->clearAll();
    table_->scrollToTop();
    model_->setHeaders(kClearedHeaders);
}

void TForm_Chart::Btn_Scroll_ONOFFClick()
{
    ChartMemory &memory = memory_;
    memory.scrollOn = !memory.scrollOn;
}

void TForm_Chart::saveChart(int chart)
{
    SaveChartAsBmp(*this->chart(chart), *s_.messages());
}

void TForm_Chart::closeEvent(QCloseEvent *event)
{
    Btn_ClearClick();
    QWidget::closeEvent(event);
}

} // namespace velmora
