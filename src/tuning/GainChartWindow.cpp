#include "tuning/GainChartWindow.h"

#include <QCloseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <map>

#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/DisplayRules.h"
#include "params/ParamTransactions.h"
#include "params/ValueCodec.h"
#include "params/Catalogue.h"
#include "tuning/ChartOps.h"
#include "tuning/StripChart.h"
#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"
#include "widgets/TextBoxes.h"

namespace velmora {

namespace {

constexpr QRgb kLime = 0xFF00FF00;
constexpr QRgb kYellow = 0xFFFFFF00;
constexpr double kHertzToRadians = 6.28;

struct GainRow {
    const char *label;
    const char *caption;
};
constexpr std::array<GainRow, kGainRows> kRows{{
    {"1. SC Loop Gain1 ", "  P3-05 :: SC Loop Gain1 [Hz]"},
    {"2. SC TC1 ", "  P3-06 :: SC TC1 [ms]"},
    {"3. ACCEL Time", "  P3-10 :: ACCEL Time [ms]"},
    {"4. DECEL Time", "  P3-11 :: DECEL Time [ms]"},
    {"5. PC P Gain1", "  P5-05 :: PC P Gain1 [Hz]"},
    {"6. System Response", "  P2-18 :: System Response"},
}};
constexpr int kResponseRow = 6;

// The reading's requests: start register and count.
constexpr std::array<std::pair<uint16_t, uint16_t>, 4> kReads{{{304, 2}, {309, 2}, {504, 1}, {217, 1}}};

const TParamDef &rowRecord(int row) { return ManualTuneDefs.at(size_t(row - 1)); }

} // namespace

TForm_Chart1::TForm_Chart1(DriveSession &session, ChartMemory &memory, QWidget *owner, std::function<void()> afterClose)
    : QWidget(owner, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                         | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      s_(session), memory_(memory), owner_(owner), afterClose_(std::move(afterClose))
{
    setObjectName(QStringLiteral("TForm_Chart1"));
    setWindowTitle(QStringLiteral("Manual Tuning Window"));
    setFixedSize(787, 593);
    selections_[0] = 1;
    selections_[1] = 2;

    auto *banner = new QLabel(QStringLiteral(" Watch the graph carefully, Modify the parameter"), this);
    banner->setObjectName(QStringLiteral("ToolBar1"));
    QFont bold = banner->font();
    bold.setBold(true);
    banner->setFont(bold);

    chart_ = new StripChart(this);
    chart_->setObjectName(QStringLiteral("Chart1"));
    chart_->setFixedSize(545, 291);
    const std::array<QRgb, 2> colours{kLime, kYellow};
    auto *lists = new QVBoxLayout;
    for (int i = 0; i < 2; ++i) {
        series_[size_t(i)] = chart_->addSeries(QStringLiteral("Series%1").arg(i + 1), QColor::fromRgb(colours[size_t(i)]));
        auto *combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("ComboBox_Series%1").arg(i + 1));
        for (const char *name : ChartSignalNames)
            combo->addItem(QLatin1String(name));
        combo->setCurrentIndex(i);
        auto *label = new QLabel(combo->currentText(), chart_);
        label->setObjectName(QStringLiteral("Label_Series%1").arg(i + 1));
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, QColor::fromRgb(colours[size_t(i)]));
        label->setPalette(p);
        label->move(70 + i * 170, 4);
        label->adjustSize();
        // The sampler reads the selection once per sample, so a change shows from the next one.
        connect(combo, &QComboBox::currentIndexChanged, this, [this, i](int index) {
            selections_[size_t(i)] = index + 1;
            labels_[size_t(i)]->setText(combos_[size_t(i)]->currentText());
            labels_[size_t(i)]->adjustSize();
            series_[size_t(i)]->setTitle(combos_[size_t(i)]->currentText());
            // A new lead signal: its first sample centres the axis.
            if (i == 0)
                recentre_ = true;
        });
        combos_[size_t(i)] = combo;
        labels_[size_t(i)] = label;
        series_[size_t(i)]->setTitle(combo->currentText());
        lists->addWidget(new QLabel(QStringLiteral("Series%1").arg(i + 1), this));
        lists->addWidget(combo);
    }
    originNs_ = SteadyNowNs();
    chart_->setTimeline(&timeline_);
    // Looking back over the history: the view stops following until Live (or Clear, Start).
    live_ = new QPushButton(QStringLiteral("Live"), this);
    live_->setObjectName(QStringLiteral("btn_Live"));
    live_->setToolTip(QStringLiteral("Back to the newest samples after looking back"));
    live_->setEnabled(false);
    connect(live_, &QPushButton::clicked, this, &TForm_Chart1::showLive);
    connect(chart_, &StripChart::panned, this, [this] {
        following_ = false;
        live_->setEnabled(true);
    });
    followBoth_ = new QCheckBox(QStringLiteral("Follow both"), this);
    followBoth_->setObjectName(QStringLiteral("chk_FollowBoth"));
    followBoth_->setToolTip(QStringLiteral("Keep both signals in view, not only the first"));
    lists->addWidget(followBoth_);
    lists->addWidget(live_);

    auto button = [this](const char *name, const char *caption) {
        auto *b = new GradRoundBtn(QLatin1String(caption), this);
        b->setObjectName(QLatin1String(name));
        b->setMinimumHeight(26);
        return b;
    };
    start_ = button("Btn_Start", "Start");
    QPushButton *stop = button("Btn_Stop", "Stop");
    QPushButton *autoScale = button("Btn_auto", "Auto");
    QPushButton *clear = button("Btn_Clear", "Clear");
    close_ = button("btnClose", "Close");
    connect(start_, &QPushButton::clicked, this, &TForm_Chart1::Btn_StartClick);
    connect(stop, &QPushButton::clicked, this, &TForm_Chart1::Btn_StopClick);
    connect(autoScale, &QPushButton::clicked, this, &TForm_Chart1::Btn_autoClick);
    connect(clear, &QPushButton::clicked, this, &TForm_Chart1::Btn_ClearClick);
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
    QPushButton *zoom = new GradRoundBtn(QStringLiteral("Zoom"), range);
    zoom->setObjectName(QStringLiteral("Btn_zoom"));
    connect(zoom, &QPushButton::clicked, this, &TForm_Chart1::Btn_zoomClick);
    rangeGrid->addWidget(new QLabel(QStringLiteral("X axis"), range), 0, 0);
    rangeGrid->addWidget(xRange_, 0, 1);
    rangeGrid->addWidget(new QLabel(QStringLiteral("Y axis"), range), 1, 0);
    rangeGrid->addWidget(yRange_, 1, 1);
    rangeGrid->addWidget(zoom, 2, 0, 1, 2);

    auto *side = new QVBoxLayout;
    side->addLayout(lists);
    auto *pairs = new QGridLayout;
    pairs->addWidget(start_, 0, 0);
    pairs->addWidget(stop, 0, 1);
    pairs->addWidget(autoScale, 1, 0);
    pairs->addWidget(clear, 1, 1);
    side->addLayout(pairs);
    side->addWidget(range);
    side->addStretch();

    // The rows under the chart.
    auto *rows = new QGridLayout;
    rows->addWidget(new QLabel(QStringLiteral("VD-520 Value [rad/s]"), this), 0, 4, Qt::AlignCenter);
    for (int row = 1; row <= kGainRows; ++row) {
        const QString n = QStringLiteral("%1").arg(row, 2, 10, QLatin1Char('0'));
        rows->addWidget(new QLabel(QLatin1String(kRows[size_t(row - 1)].label), this), row, 0);
        QLabel *value = SunkenText(this, QString(), {});
        value->setObjectName(QStringLiteral("STextTuning_") + n);
        value->setMinimumSize(80, 22);
        rows->addWidget(value, row, 1);
        displays_[size_t(row - 1)] = value;
        if (row < kResponseRow) {
            auto *edit = new QLineEdit(this);
            edit->setObjectName(QStringLiteral("edtTune_") + n);
            edit->setMaximumWidth(90);
            auto *set = new GradRoundBtn(QStringLiteral("Set"), this);
            set->setObjectName(QStringLiteral("btnTuning_") + n);
            connect(set, &QPushButton::clicked, this, [this, row] { setRow(row); });
            rows->addWidget(edit, row, 2);
            rows->addWidget(set, row, 3);
            edits_[size_t(row - 1)] = edit;
        } else {
            auto *up = new GradRoundBtn(QStringLiteral("Up"), this);
            up->setObjectName(QStringLiteral("btnFBspeedH"));
            auto *down = new GradRoundBtn(QStringLiteral("Down"), this);
            down->setObjectName(QStringLiteral("btnFBspeedL"));
            connect(up, &QPushButton::clicked, this, [this] { stepResponse(+1); });
            connect(down, &QPushButton::clicked, this, [this] { stepResponse(-1); });
            rows->addWidget(up, row, 2);
            rows->addWidget(down, row, 3);
        }
        if (row == 1 || row == 5) {
            QLabel *d = SunkenText(this, QString(), {});
            d->setObjectName(QStringLiteral("STextTuning_%1_1").arg(n));
            d->setMinimumSize(80, 22);
            rows->addWidget(d, row, 4);
            (row == 1 ? derived1_ : derived5_) = d;
        }
        rows->addWidget(new QLabel(QLatin1String(kRows[size_t(row - 1)].caption), this), row, 5);
    }
    rows->setColumnStretch(5, 1);

    auto *top = new QHBoxLayout;
    top->addWidget(chart_);
    top->addLayout(side, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addLayout(rows, 1);
    bottom->addWidget(close_, 0, Qt::AlignBottom);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(banner);
    layout->addLayout(top);
    layout->addLayout(bottom);

    if (owner_)
        owner_->setEnabled(false);
    setEnabled(true);
    CentreOnScreen(this);
}

TForm_Chart1::~TForm_Chart1()
{
    if (sampler_)
        sampler_->stopAndWait();
}

void TForm_Chart1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        readAll();
    }
}

void TForm_Chart1::readAll()
{
    TThread_ChartGain_READ(s_, *this).run();
    updateDerived();
}

void TForm_Chart1::updateDerived()
{
    for (int row : {1, 5}) {
        bool ok = false;
        const double v = display(row)->text().toDouble(&ok);
        derived(row)->setText(ok ? QString::number(v * kHertzToRadians, 'g', 15) : QString());
    }
}

void TForm_Chart1::startSampler()
{
    if (sampler_) { // one that ended itself on a link failure
        sampler_->finish();
        sampler_.reset();
    }
    showLive();
    ChartSampler::Hooks hooks;
    hooks.append = [this](const ChartSample &sample) { appendSample(sample); };
    hooks.linkFailed = [this] {
        start_->setEnabled(true);
        close_->setEnabled(true);
    };
    sampler_ = std::make_unique<TThread_Chart_Read1>(s_, selections_, std::move(hooks));
    sampler_->start();
    running_ = true;
    start_->setEnabled(false);
    close_->setEnabled(false);
}

void TForm_Chart1::showLive()
{
    live_->setEnabled(false);
    if (following_)
        return;
    following_ = true;
    ShowNewest(*chart_, *series_[0]);
    recentre_ = true;
    if (const std::optional<double> y = series_[0]->lastY(); y && !chart_->verticalAxis().automatic())
        CentreVertically(*chart_, *y);
}

void TForm_Chart1::stopSampler()
{
    if (sampler_) {
        sampler_->finish();
        sampler_.reset();
    }
    running_ = false;
    start_->setEnabled(true);
    close_->setEnabled(true);
}

void TForm_Chart1::Btn_StartClick()
{
    startSampler();
}

void TForm_Chart1::Btn_StopClick()
{
    close_->setEnabled(true);
    if (running_)
        stopSampler();
}

void TForm_Chart1::appendSample(const ChartSample &sample)
{
    timeline_.append(double(sample.arrivedNs - originNs_) / 1e9, sample.request);
    series_[0]->append(sample.values[0], QColor::fromRgb(kLime));
    series_[1]->append(sample.values[1], QColor::fromRgb(kYellow));
    if (!following_)
        return;
    FollowHorizontally(*chart_, *series_[0]);
    FollowVertically(*chart_, *series_[0], memory_.gainPrevious1, true, recentre_);
    if (followBoth_->isChecked())
        KeepBothInView(*chart_, *series_[0], *series_[1]);
}

void TForm_Chart1::Btn_zoomClick()
{
    chart_->verticalAxis().setAutomatic(false);
    ZoomChart(*chart_, *series_[0], xRange_->value(), yRange_->value());
}

void TForm_Chart1::Btn_autoClick()
{
    AutoScaleChart(*chart_, *series_[0], xRange_->value());
}

void TForm_Chart1::Btn_ClearClick()
{
    Btn_StopClick();
    series_[1]->clear();
    series_[0]->clear();
    ResetChartAxes(*chart_);
    timeline_.clear();
    originNs_ = SteadyNowNs();
    chart_->setCursorIndex(std::nullopt);
    recentre_ = true;
    following_ = true;
    live_->setEnabled(false);
}

void TForm_Chart1::setRow(int row)
{
    // The change's requests never interleave with the sampler's.
    stopSampler();
    QLabel *shown = display(row);
    const ValueWriteResult r =
        ValueWrite(s_, rowRecord(row), edit(row)->text(), false, [shown](const QString &t) { shown->setText(t); });
    if (r.status != ValueWriteResult::Written)
        return; // sampling stays stopped; Start is offered again
    startSampler();
    updateDerived();
}

void TForm_Chart1::stepResponse(int direction)
{
    stopSampler();
    QLabel *shown = display(kResponseRow);
    const QString before = shown->text();
    const TParamDef &def = rowRecord(kResponseRow);
    int32_t v = 0;
    if (!ParseTypedWhole(before, v)) {
        s_.showMessage(QString::fromLatin1(texts::WrongParameter));
        return;
    }
    const QString stepped = QString::number(qint64(v) + direction);
    shown->setText(stepped);
    WriteWord word;
    if (!Change_Int2HEX(stepped, def, word)) {
        shown->setText(before);
        s_.showMessage(QString::fromLatin1(texts::WrongParameter));
        return;
    }
    WriteOneExchange(s_, def, word);
    readAll();
    startSampler();
}

void TForm_Chart1::closeEvent(QCloseEvent *event)
{
    Btn_ClearClick();
    QWidget::closeEvent(event);
    if (owner_)
        owner_->setEnabled(true);
    if (afterClose_)
        afterClose_();
}

void TThread_ChartGain_READ::run()
{
    std::map<uint16_t, QString> texts;
    for (const auto &[start, count] : kReads) {
        // A request without a good reply leaves its rows as they are.
        const ExchangeResult r = ReadRegisters(s_, start, count);
        if (!r.good())
            continue;
        for (uint16_t i = 0; i < count; ++i) {
            const uint16_t reg = uint16_t(start + i);
            texts[reg] = FormatParamValue(r.value(i + 1), FindParamDef(reg)->Decimals);
        }
    }
    s_.runOnUi([this, &texts] {
        for (int row = 1; row <= kGainRows; ++row) {
            const auto it = texts.find(rowRecord(row).Address);
            if (it != texts.end())
                window_.display(row)->setText(it->second);
        }
    });
}

} // namespace velmora
