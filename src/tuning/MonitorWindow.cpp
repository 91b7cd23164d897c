#include "tuning/MonitorWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
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
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

#include "link/ComPort.h"
#include "link/KeptSettings.h"
#include "link/MessageService.h"
#include "tuning/ChartCsv.h"
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

// The widest value a signal shows: the table's columns are never narrower.
constexpr char kWidestValue[] = "-99999.9";
// The height the tool rows add below the chart's own layout.
constexpr int kToolRowsHeight = 62;

} // namespace

// ---- value table ----

ChartValueModel::ChartValueModel(const std::array<StripSeries *, 4> &series, const SampleTimeline &timeline,
                                 QObject *parent)
    : QAbstractTableModel(parent), series_(series), timeline_(timeline)
{
}

int ChartValueModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : rows_; }
int ChartValueModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 5; }

QVariant ChartValueModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    const int row = index.row() + 1; // grid row; row 0 is the header
    if (index.column() == 0)
        return row <= timeline_.count() ? QVariant(QString::number(timeline_.request(row - 1))) : QVariant();
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

void ChartValueModel::addRow()
{
    beginInsertRows({}, rows_, rows_);
    ++rows_;
    endInsertRows();
}

void ChartValueModel::clearAll()
{
    headers_ = QStringList(5);
    emit headerDataChanged(Qt::Horizontal, 0, 4);
    refresh();
}

void ChartValueModel::refresh()
{
    emit dataChanged(index(0, 0), index(rows_ - 1, 4));
}

void ChartValueModel::refreshRow(int row)
{
    if (row >= 1 && row <= rows_)
        emit dataChanged(index(row - 1, 0), index(row - 1, 4));
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
    setFixedSize(767, 500 + kToolRowsHeight);
    // The signals chosen last time, where they are kept; otherwise items 1, 2, 9 and 10.
    std::array<int, 4> items = kInitialItems;
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        const int kept = KeptSettings::value(QStringLiteral("monitor/series%1").arg(i + 1)).toInt(&ok);
        if (ok && kept >= 1 && kept <= kChartSignalCount)
            items[size_t(i)] = kept;
        selections_[size_t(i)] = items[size_t(i)];
    }

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    for (int i = 0; i < 4; ++i) {
        auto *combo = new QComboBox(toolBar_);
        combo->setObjectName(QStringLiteral("ComboBox_Series%1").arg(i + 1));
        for (const char *name : ChartSignalNames)
            combo->addItem(QLatin1String(name));
        combo->setCurrentIndex(items[size_t(i)] - 1);
        combo->setFixedWidth(136);
        connect(combo, &QComboBox::currentIndexChanged, this, [this, i](int index) {
            selections_[size_t(i)] = index + 1;
            KeptSettings::setValue(QStringLiteral("monitor/series%1").arg(i + 1), index + 1);
            labels_[size_t(i)]->setText(combos_[size_t(i)]->currentText());
            labels_[size_t(i)]->adjustSize();
            series_[size_t(i)]->setTitle(combos_[size_t(i)]->currentText());
            // A new signal on a chart's lead series: its first sample centres the axis.
            if (i % 2 == 0)
                recentre_[size_t(i / 2)] = true;
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
        series_[size_t(i)]->setTitle(combos_[size_t(i)]->currentText());
    }
    originNs_ = SteadyNowNs();
    for (StripChart *chart : {chart1_, chart2_}) {
        chart->setFixedSize(554, 232);
        chart->setTimeline(&timeline_);
        // Panning the history is looking back: the view stops following until Resume.
        connect(chart, &StripChart::panned, this, [this] { setPaused(true); });
    }
    // One cursor for both charts: the same sample on each.
    connect(chart1_, &StripChart::cursorMoved, this, [this](qint64 i) {
        chart2_->setCursorIndex(i < 0 ? std::nullopt : std::optional<qint64>(i));
    });
    connect(chart2_, &StripChart::cursorMoved, this, [this](qint64 i) {
        chart1_->setCursorIndex(i < 0 ? std::nullopt : std::optional<qint64>(i));
    });

    model_ = new ChartValueModel(series_, timeline_, this);
    model_->setHeaders(kClearedHeaders);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("StringGrid_Value"));
    table_->setModel(model_);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(18);
    // Fixed widths, each wide enough for the widest value and its heading: fitting them to
    // their contents would measure every row on every sample. The table scrolls sideways.
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setTextElideMode(Qt::ElideNone);
    table_->setTextElideMode(Qt::ElideNone);
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sizeTableColumns();

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
    // Pressed in while the vertical axis follows the signal.
    scroll->setCheckable(true);
    scroll_ = scroll;
    close_ = button("btnClose", "Close");
    connect(start_, &QPushButton::clicked, this, &TForm_Chart::Btn_StartClick);
    connect(stop, &QPushButton::clicked, this, &TForm_Chart::Btn_StopClick);
    connect(autoScale, &QPushButton::clicked, this, &TForm_Chart::Btn_autoClick);
    connect(zoom, &QPushButton::clicked, this, &TForm_Chart::Btn_zoomClick);
    connect(clear, &QPushButton::clicked, this, &TForm_Chart::Btn_ClearClick);
    connect(scroll, &QPushButton::clicked, this, [this] { Btn_Scroll_ONOFFClick(); });
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
    auto *tools = new QWidget(this);
    tools->setObjectName(QStringLiteral("panel_Tools"));
    tools->setFixedHeight(kToolRowsHeight - 4);
    buildTools(tools);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 4);
    layout->setSpacing(2);
    layout->addWidget(toolBar_);
    layout->addLayout(body);
    layout->addWidget(tools);
    showScrollState();

    statusTimer_ = new QTimer(this);
    statusTimer_->setInterval(250);
    connect(statusTimer_, &QTimer::timeout, this, &TForm_Chart::updateStatus);
    statusTimer_->start();
    updateStatus();
    CentreOnScreen(this);
}

void TForm_Chart::buildTools(QWidget *tools)
{
    auto *rows = new QVBoxLayout(tools);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(2);
    const auto named = [](auto *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };

    // Row 1: the view and the record.
    auto *row1 = new QHBoxLayout;
    pause_ = named(new QPushButton(QStringLiteral("Pause"), tools), "btn_Pause");
    pause_->setCheckable(true);
    pause_->setToolTip(QStringLiteral("Freeze the view; sampling goes on and every sample is kept"));
    connect(pause_, &QPushButton::toggled, this, [this](bool on) { setPaused(on); });
    timeAxis_ = named(new QCheckBox(QStringLiteral("Time [s]"), tools), "chk_TimeAxis");
    timeAxis_->setToolTip(QStringLiteral("Seconds instead of sample numbers on the horizontal axes"));
    connect(timeAxis_, &QCheckBox::toggled, this, [this](bool on) {
        chart1_->setTimeAxis(on);
        chart2_->setTimeAxis(on);
    });
    followBoth_ = named(new QCheckBox(QStringLiteral("Follow both"), tools), "chk_FollowBoth");
    followBoth_->setToolTip(QStringLiteral("Keep both signals of each chart in view, not only the first"));
    auto *csv = named(new QPushButton(QStringLiteral("Save CSV"), tools), "btn_SaveCsv");
    csv->setToolTip(QStringLiteral("Every stored sample with its number and time"));
    connect(csv, &QPushButton::clicked, this, [this] { saveCsv(); });
    rate_ = named(new QLabel(tools), "lbl_Rate");
    saveCapture_ = named(new QPushButton(QStringLiteral("Save Capture"), tools), "btn_SaveCapture");
    saveCapture_->setEnabled(false);
    connect(saveCapture_, &QPushButton::clicked, this, [this] { saveCapture(); });
    row1->addWidget(pause_);
    row1->addWidget(timeAxis_);
    row1->addWidget(followBoth_);
    row1->addWidget(csv);
    row1->addWidget(saveCapture_);
    row1->addWidget(rate_, 1);

    // Row 2: capture on a trigger.
    auto *row2 = new QHBoxLayout;
    triggerSource_ = named(new QComboBox(tools), "cmb_TriggerSource");
    for (int i = 1; i <= 4; ++i)
        triggerSource_->addItem(QStringLiteral("Series %1").arg(i));
    triggerSource_->addItem(QStringLiteral("Alarm"));
    triggerEdge_ = named(new QComboBox(tools), "cmb_TriggerEdge");
    triggerEdge_->addItems({QStringLiteral("Rising"), QStringLiteral("Falling")});
    triggerLevel_ = named(new QDoubleSpinBox(tools), "spn_TriggerLevel");
    triggerLevel_->setRange(-1e6, 1e6);
    triggerLevel_->setDecimals(1);
    triggerLevel_->setMaximumWidth(80);
    triggerLevel_->setToolTip(QStringLiteral("Trigger level"));
    preSamples_ = named(new QSpinBox(tools), "spn_PreSamples");
    preSamples_->setRange(0, 100000);
    preSamples_->setValue(100);
    preSamples_->setMaximumWidth(76);
    preSamples_->setToolTip(QStringLiteral("Samples kept before the trigger"));
    postSamples_ = named(new QSpinBox(tools), "spn_PostSamples");
    postSamples_->setRange(0, 100000);
    postSamples_->setValue(100);
    postSamples_->setMaximumWidth(76);
    postSamples_->setToolTip(QStringLiteral("Samples after the trigger"));
    singleShot_ = named(new QCheckBox(QStringLiteral("Single"), tools), "chk_SingleShot");
    singleShot_->setChecked(true);
    singleShot_->setToolTip(QStringLiteral("One capture; otherwise armed again after each"));
    arm_ = named(new QPushButton(QStringLiteral("Arm"), tools), "btn_Arm");
    connect(arm_, &QPushButton::clicked, this, [this] {
        const ChartCapture::State state = capture_.state();
        armCapture(state != ChartCapture::State::Armed && state != ChartCapture::State::Filling);
    });
    captureState_ = named(new QLabel(QStringLiteral("Off"), tools), "lbl_Capture");
    row2->addWidget(new QLabel(QStringLiteral("Capture on"), tools));
    row2->addWidget(triggerSource_);
    row2->addWidget(triggerEdge_);
    row2->addWidget(new QLabel(QStringLiteral("at"), tools));
    row2->addWidget(triggerLevel_);
    row2->addWidget(new QLabel(QStringLiteral("pre"), tools));
    row2->addWidget(preSamples_);
    row2->addWidget(new QLabel(QStringLiteral("post"), tools));
    row2->addWidget(postSamples_);
    row2->addWidget(singleShot_);
    row2->addWidget(arm_);
    captureState_->setMinimumWidth(0);
    row2->addWidget(captureState_, 1);
    rows->addLayout(row1);
    rows->addLayout(row2);
}

void TForm_Chart::sizeTableColumns()
{
    const QFontMetrics values(table_->font());
    const QFontMetrics heads(table_->horizontalHeader()->font());
    const int pad = 2 * table_->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, table_) + 10;
    QHeaderView *h = table_->horizontalHeader();
    h->resizeSection(0, std::max(values.horizontalAdvance(QStringLiteral("9999999")),
                                 heads.horizontalAdvance(model_->header(0))) + pad);
    const int value = values.horizontalAdvance(QLatin1String(kWidestValue));
    for (int c = 1; c <= 4; ++c)
        h->resizeSection(c, std::max(value, heads.horizontalAdvance(model_->header(c))) + pad);
}

void TForm_Chart::showScrollState()
{
    scroll_->setChecked(memory_.scrollOn);
    scroll_->setToolTip(memory_.scrollOn ? QStringLiteral("Vertical following is on")
                                         : QStringLiteral("Vertical following is off"));
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
        sampler_->finish();
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
    sampler_->setWatchAlarm(capture_.watchesAlarm());
    sampler_->start();
    running_ = true;
    start_->setEnabled(false);
    QStringList headers(5);
    for (int i = 0; i < 4; ++i)
        headers[i + 1] = combos_[size_t(i)]->currentText();
    model_->setHeaders(headers);
    sizeTableColumns();
}

void TForm_Chart::Btn_StopClick()
{
    close_->setEnabled(true);
    if (running_) {
        if (sampler_) {
            sampler_->finish();
            sampler_.reset();
        }
        running_ = false;
        start_->setEnabled(true);
    }
    toolBar_->setEnabled(true);
}

void TForm_Chart::appendSample(const ChartSample &sample)
{
    const qint64 point = timeline_.append(double(sample.arrivedNs - originNs_) / 1e9, sample.counter);
    recentNs_.push_back(sample.arrivedNs);
    while (sample.arrivedNs - recentNs_.front() > 1000000000)
        recentNs_.pop_front();
    for (int i = 0; i < 4; ++i)
        series_[size_t(i)]->append(sample.values[size_t(i)], QColor::fromRgb(seriesColour(i)));
    const int plotted = int(series_[0]->count());
    if (plotted > kRowsBeforeGrowing) {
        model_->addRow();
        if (!paused_)
            table_->verticalScrollBar()->setValue(table_->verticalScrollBar()->value() + 1);
    }
    model_->refreshRow(plotted);

    const ChartCapture::State before = capture_.state();
    if (capture_.onPoint(point, sample.values, sample.alarm)) {
        freezeOnCapture();
        showCapture();
    } else if (capture_.state() != before) {
        showCapture();
    }
    if (paused_)
        return; // the view stays where the user holds it; every sample is kept
    ChartMemory &memory = memory_;
    FollowHorizontally(*chart1_, *series_[0]);
    FollowHorizontally(*chart2_, *series_[2]);
    FollowVertically(*chart1_, *series_[0], memory.previous1, memory.scrollOn, recentre_[0]);
    FollowVertically(*chart2_, *series_[2], memory.previous3, memory.scrollOn, recentre_[1]);
    if (followBoth_->isChecked() && memory.scrollOn) {
        KeepBothInView(*chart1_, *series_[0], *series_[1]);
        KeepBothInView(*chart2_, *series_[2], *series_[3]);
    }
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
    timeline_.clear();
    originNs_ = SteadyNowNs();
    recentNs_.clear();
    recentre_ = {true, true};
    capture_.reset();
    for (StripChart *chart : {chart1_, chart2_}) {
        chart->setMarker(std::nullopt);
        chart->setCursorIndex(std::nullopt);
    }
    showCapture();
    model_->clearAll();
    table_->scrollToTop();
    model_->setHeaders(kClearedHeaders);
    sizeTableColumns();
}

void TForm_Chart::Btn_Scroll_ONOFFClick()
{
    ChartMemory &memory = memory_;
    memory.scrollOn = !memory.scrollOn;
    showScrollState();
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

// ---- pause, record, capture and the rate ----

void TForm_Chart::setPaused(bool paused)
{
    if (pause_->isChecked() != paused) {
        pause_->setChecked(paused); // comes back here through toggled
        return;
    }
    pause_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    if (paused_ == paused)
        return;
    paused_ = paused;
    if (paused)
        return;
    // Back to the live end: the newest samples, the axis on the newest value.
    ShowNewest(*chart1_, *series_[0]);
    ShowNewest(*chart2_, *series_[2]);
    for (int c = 0; c < 2; ++c) {
        StripChart *chart = c == 0 ? chart1_ : chart2_;
        const StripSeries *lead = series_[size_t(2 * c)];
        if (memory_.scrollOn && lead->lastY() && !chart->verticalAxis().automatic())
            CentreVertically(*chart, *lead->lastY());
        chart->setMarker(std::nullopt);
    }
    table_->scrollToBottom();
}

QStringList TForm_Chart::signalHeadings() const
{
    QStringList headings;
    for (int i = 0; i < 4; ++i)
        headings << ChartSignalHeading(combos_[size_t(i)]->currentIndex() + 1);
    return headings;
}

std::vector<const StripSeries *> TForm_Chart::seriesList() const
{
    return {series_[0], series_[1], series_[2], series_[3]};
}

bool TForm_Chart::writeCsv(long long first, long long last)
{
    const QByteArray csv = ChartCsv(timeline_, seriesList(), signalHeadings(), first, last);
    return SaveThroughDialog(*s_.messages(), QStringLiteral("csv"), QStringLiteral("samples"),
                         [&csv](const QString &path, QString *error) { return SaveChartCsv(path, csv, error); });
}

bool TForm_Chart::saveCsv()
{
    return writeCsv(0, timeline_.count() - 1);
}

bool TForm_Chart::saveCapture()
{
    const std::optional<ChartCapture::Window> w = capture_.captured();
    return w && writeCsv(w->first, w->last);
}

void TForm_Chart::armCapture(bool arm)
{
    if (!arm) {
        capture_.disarm();
    } else {
        TriggerSettings t;
        const int source = triggerSource_->currentIndex();
        t.source = source == 4 ? TriggerSettings::Source::Alarm : TriggerSettings::Source::Series;
        t.series = std::min(source, 3);
        t.edge = triggerEdge_->currentIndex() == 1 ? TriggerSettings::Edge::Falling : TriggerSettings::Edge::Rising;
        t.level = triggerLevel_->value();
        t.pre = preSamples_->value();
        t.post = postSamples_->value();
        t.singleShot = singleShot_->isChecked();
        capture_.arm(t, timeline_.count());
    }
    if (sampler_)
        sampler_->setWatchAlarm(capture_.watchesAlarm());
    showCapture();
}

void TForm_Chart::showCapture()
{
    const ChartCapture::State state = capture_.state();
    const bool watching = state == ChartCapture::State::Armed || state == ChartCapture::State::Filling;
    arm_->setText(watching ? QStringLiteral("Disarm") : capture_.captured() ? QStringLiteral("Re-arm") : QStringLiteral("Arm"));
    for (QWidget *w : std::initializer_list<QWidget *>{triggerSource_, triggerEdge_, triggerLevel_, preSamples_,
                                                       postSamples_, singleShot_})
        w->setEnabled(!watching);
    saveCapture_->setEnabled(capture_.captured().has_value());
    captureState_->setText(capture_.describe([this](long long i) { return timeline_.request(i); }));
    if (sampler_)
        sampler_->setWatchAlarm(capture_.watchesAlarm());

}

void TForm_Chart::freezeOnCapture()
{
    const std::optional<ChartCapture::Window> w = capture_.captured();
    if (!w)
        return;
    // The view holds the captured window with the trigger marked; sampling goes on.
    setPaused(true);
    for (int c = 0; c < 2; ++c) {
        StripChart *chart = c == 0 ? chart1_ : chart2_;
        chart->horizontalAxis().setRange(double(w->first), double(std::max(w->last, w->first + 1)));
        chart->setMarker(w->trigger);
        ValueSpan span = series_[size_t(2 * c)]->span(w->first, w->last);
        span.add(series_[size_t(2 * c + 1)]->span(w->first, w->last));
        if (!span.isEmpty() && !chart->verticalAxis().automatic()) {
            const double margin = std::max(1.0, (span.hi - span.lo) / 10);
            chart->verticalAxis().setRange(span.lo - margin, span.hi + margin);
        }
    }
}

double TForm_Chart::achievedRate() const
{
    const qint64 now = SteadyNowNs();
    qint64 n = 0;
    for (auto it = recentNs_.rbegin(); it != recentNs_.rend() && now - *it <= 1000000000; ++it)
        ++n;
    return double(n);
}

qint64 TForm_Chart::droppedSamples() const
{
    return std::max<qint64>(0, qint64(counter_.load()) - timeline_.count());
}

double TForm_Chart::wireLimit() const
{
    const auto *port = qobject_cast<const ComPort *>(s_.port());
    return port ? ChartWireRate(port->settings().Baud) : 0.0;
}

QString TForm_Chart::rateText() const
{
    const auto *port = qobject_cast<const ComPort *>(s_.port());
    // The built-in simulated drive has no wire to be limited by.
    const double wire = port && !port->settings().simulate ? wireLimit() : 0.0;
    QString text = QStringLiteral("%1 samples/s, dropped %2").arg(achievedRate(), 0, 'f', 0).arg(droppedSamples());
    if (wire > 0) {
        text += QStringLiteral(", wire limit %1/s at %2 baud").arg(wire, 0, 'f', 1).arg(port->settings().Baud);
    }
    return text;
}

void TForm_Chart::updateStatus()
{
    const qint64 now = SteadyNowNs();
    while (!recentNs_.empty() && now - recentNs_.front() > 1000000000)
        recentNs_.pop_front();
    rate_->setText(rateText());
}

} // namespace velmora
