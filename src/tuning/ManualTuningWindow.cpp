#include "tuning/ManualTuningWindow.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include <map>

#include "link/Texts.h"
#include "link/Transactions.h"
#include "params/DisplayRules.h"
#include "params/ParamTransactions.h"
#include "params/ValueCodec.h"
#include "params/Catalogue.h"
#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"
#include "widgets/TextBoxes.h"

namespace velmora {

namespace {

struct TuningRow {
    const char *label;
    const char *caption;
    uint16_t reg;
    const char *suffix; // of STextTuning_, btnTuning_H, btnTuning_L
    const char *raise;  // button captions
    const char *lower;
};

constexpr char kCommon[] = " 공통";
constexpr char kSpeedMode[] = "속도 운전 모드";
constexpr char kPositionMode[] = "위치 운전 모드";

constexpr std::array<TuningRow, kManualTuningRows> kRows{{
    {"1. 시스템 응답성", "  P2-18 :: System Response", 217, "01", "▲", "▼"},
    {"2. 시스템 관성비", "  P2-19 :: Inertia Ratio", 218, "02", "▲", "▼"},
    {"3. PI-IP 제어 비율", "  P3-02 :: PI-IP Control [%]", 301, "04", "▲", "▼"},
    {"4. 속도 응답성", "  P3-05 :: SC Loop Gain1 [Hz]", 304, "07", "▲", "▼"},
    {"5. 정상상태의 오차", "  P3-06 :: SC TC1 [ms]", 305, "08", "▲", "▼"},
    {"6. 속도 리플 보정", "  P2-28 :: Ripple COMPEN", 227, "03", "ON", "OFF"},
    {"7. 가속 시간", "  P3-10 :: ACCEL Time [ms]", 309, "12", "▲", "▼"},
    {"8. 감속 시간", "  P3-11 :: DECEL Time [ms]", 310, "13", "▲", "▼"},
    {"9. 위치 결정 시간", "  P5-04 :: FeedForward [%]", 503, "14", "▲", "▼"},
    {"10. 위치 결정 응답성", "  P5-05 :: PC P Gain1 [Hz]", 504, "15", "▲", "▼"},
}};

// The groups: first row and caption.
struct RowGroup {
    int first, count;
    const char *caption;
};
constexpr std::array<RowGroup, 3> kGroups{{{0, 3, kCommon}, {3, 5, kSpeedMode}, {8, 2, kPositionMode}}};

// The reading's requests: start register and count.
constexpr std::array<std::pair<uint16_t, uint16_t>, 4> kReads{{{217, 2}, {227, 1}, {301, 10}, {503, 2}}};

const TParamDef &recordOf(int row)
{
    return *FindParamDef(kRows[size_t(row)].reg);
}

} // namespace

TForm_ManualTuning::TForm_ManualTuning(DriveSession &session, QWidget *parent)
    : QWidget(parent, Qt::Window), s_(session)
{
    setObjectName(QStringLiteral("TForm_ManualTuning"));
    setWindowTitle(QStringLiteral("Form_ManualTuning"));
    resize(551, 556);

    auto *layout = new QVBoxLayout(this);
    auto *header1 = new QLabel(QStringLiteral("Manual Tuning 에서는 더욱 정밀한 Tuning 을 할 수 있는 기능을 제공합니다."), this);
    auto *header2 = new QLabel(QStringLiteral("실 부하 운전을 하면서 Tuning 을 하십시오."), this);
    QFont bold = header1->font();
    bold.setBold(true);
    header1->setFont(bold);
    header2->setFont(bold);
    layout->addWidget(header1);
    layout->addWidget(header2);

    for (const RowGroup &g : kGroups) {
        auto *box = new QGroupBox(QString::fromUtf8(g.caption), this);
        auto *grid = new QGridLayout(box);
        grid->addWidget(new QLabel(QStringLiteral("높임"), box), 0, 2, Qt::AlignCenter);
        grid->addWidget(new QLabel(QStringLiteral("낮춤"), box), 0, 3, Qt::AlignCenter);
        for (int row = g.first; row < g.first + g.count; ++row) {
            const TuningRow &r = kRows[size_t(row)];
            const int line = row - g.first + 1;
            auto *label = new QLabel(QString::fromUtf8(r.label), box);
            label->setMinimumWidth(130);
            QLabel *value = SunkenText(box, QString(), {});
            value->setObjectName(QStringLiteral("STextTuning_") + QLatin1String(r.suffix));
            value->setMinimumSize(80, 22);
            auto *raise = new GradRoundBtn(QString::fromUtf8(r.raise), box);
            raise->setObjectName(QStringLiteral("btnTuning_H") + QLatin1String(r.suffix));
            auto *lower = new GradRoundBtn(QString::fromUtf8(r.lower), box);
            lower->setObjectName(QStringLiteral("btnTuning_L") + QLatin1String(r.suffix));
            for (auto *b : {raise, lower})
                b->setMinimumSize(52, 24);
            connect(raise, &QPushButton::clicked, this, [this, row] { stepRow(row, +1); });
            connect(lower, &QPushButton::clicked, this, [this, row] { stepRow(row, -1); });
            grid->addWidget(label, line, 0);
            grid->addWidget(value, line, 1);
            grid->addWidget(raise, line, 2);
            grid->addWidget(lower, line, 3);
            grid->addWidget(new QLabel(QString::fromUtf8(r.caption), box), line, 4);
            displays_[size_t(row)] = value;
        }
        grid->setColumnStretch(4, 1);
        layout->addWidget(box);
    }
    layout->addStretch();

    auto *buttons = new QHBoxLayout;
    auto *reread = new GradRoundBtn(QStringLiteral("새로읽기"), this);
    reread->setObjectName(QStringLiteral("btnReflash"));
    auto *close = new GradRoundBtn(QStringLiteral("닫 기"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    for (auto *b : {reread, close})
        b->setMinimumSize(100, 32);
    connect(reread, &QPushButton::clicked, this, &TForm_ManualTuning::btnReflashClick);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addStretch();
    buttons->addWidget(reread);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    CentreOnScreen(this);
}

uint16_t TForm_ManualTuning::rowRegister(int row)
{
    return kRows.at(size_t(row)).reg;
}

void TForm_ManualTuning::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        readAll();
    }
}

void TForm_ManualTuning::btnReflashClick()
{
    for (QLabel *d : displays_)
        d->clear();
    readAll();
}

void TForm_ManualTuning::readAll()
{
    TThread_ManuTune_READ(s_, *this).run();
}

void TForm_ManualTuning::stepRow(int row, int direction)
{
    const TParamDef &def = recordOf(row);
    QLabel *shown = displays_.at(size_t(row));
    const QString before = shown->text();
    QString stepped;
    if (def.IsReal == 1) {
        double v = 0;
        if (ParseTypedReal(before, v))
            stepped = FormatParamValue(v + direction, def.Decimals);
    } else {
        int32_t v = 0;
        if (ParseTypedWhole(before, v))
            stepped = QString::number(qint64(v) + direction);
    }
    // An empty display (after a failed reading) has nothing to step from.
    if (stepped.isEmpty()) {
        s_.showMessage(QString::fromLatin1(texts::WrongParameter));
        return;
    }
    shown->setText(stepped);
    const ValueWriteResult r = ValueWrite(s_, def, stepped, false, [shown](const QString &t) { shown->setText(t); });
    if (r.status == ValueWriteResult::WrongParameter)
        shown->setText(before);
}

void TThread_ManuTune_READ::run()
{
    std::map<uint16_t, QString> texts;
    for (const auto &[start, count] : kReads) {
        // A request without a good reply leaves its rows as they are: the decoded values
        // then belong to some earlier read.
        const ExchangeResult r = ReadRegisters(s_, start, count);
        if (!r.good())
            continue;
        for (uint16_t i = 0; i < count; ++i) {
            const uint16_t reg = uint16_t(start + i);
            texts[reg] = FormatParamValue(r.value(i + 1), FindParamDef(reg)->Decimals);
        }
    }
    s_.runOnUi([this, &texts] {
        for (int row = 0; row < kManualTuningRows; ++row) {
            const auto it = texts.find(TForm_ManualTuning::rowRegister(row));
            if (it != texts.end())
                window_.display(row)->setText(it->second);
        }
    });
}

} // namespace velmora
