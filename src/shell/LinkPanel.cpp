#include "shell/LinkPanel.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "link/DrivePort.h"
#include "link/DriveSession.h"
#include "link/LinkLog.h"
#include "link/MessageService.h"
#include "params/AtomicFile.h"

namespace velmora {

TForm_Link::TForm_Link(DriveSession &session, Sources sources)
    : QWidget(nullptr, Qt::Window), s_(session), sources_(std::move(sources))
{
    setObjectName(QStringLiteral("TForm_Link"));
    setWindowTitle(QStringLiteral("Link"));
    resize(620, 460);
    auto *form = new QFormLayout;
    const auto value = [this, form](const char *name, const QString &caption) {
        auto *label = new QLabel(QStringLiteral("0"), this);
        label->setObjectName(QLatin1String(name));
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(caption, label);
        return label;
    };
    requests_ = value("lbl_Requests", QStringLiteral("Requests sent"));
    good_ = value("lbl_Good", QStringLiteral("Good replies"));
    refused_ = value("lbl_Refused", QStringLiteral("Refusals"));
    bad_ = value("lbl_Bad", QStringLiteral("Bad replies"));
    timeouts_ = value("lbl_Timeouts", QStringLiteral("Time-outs"));
    late_ = value("lbl_LateBytes", QStringLiteral("Late bytes discarded"));
    activity_ = value("lbl_Activity", QStringLiteral("Polling / sampling"));
    wire_ = value("lbl_WireShare", QStringLiteral("Share of the wire"));
    echoes_ = value("lbl_Echoes", QStringLiteral("Echoes discarded"));
    lowLatency_ = value("lbl_LowLatency", QStringLiteral("Low-latency mode"));
    rs485_ = value("lbl_Rs485", QStringLiteral("RS-485 mode"));
    latencyTimer_ = value("lbl_LatencyTimer", QStringLiteral("Adapter latency timer"));

    frames_ = new QPlainTextEdit(this);
    frames_->setObjectName(QStringLiteral("txt_Frames"));
    frames_->setReadOnly(true);
    frames_->setLineWrapMode(QPlainTextEdit::NoWrap);
    frames_->setMaximumBlockCount(FrameLog::kKeep * 2);
    frames_->setFont(QFont(QStringLiteral("monospace")));
    pause_ = new QCheckBox(QStringLiteral("Pause"), this);
    pause_->setObjectName(QStringLiteral("chk_PauseFrames"));
    auto *save = new QPushButton(QStringLiteral("Save..."), this);
    save->setObjectName(QStringLiteral("btn_SaveFrames"));
    connect(save, &QPushButton::clicked, this, [this] { saveFrames(); });
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(new QLabel(QStringLiteral("Last %1 frames (> sent, < received)").arg(FrameLog::kKeep), this), 1);
    buttons->addWidget(pause_);
    buttons->addWidget(save);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(frames_, 1);

    timer_ = new QTimer(this);
    timer_->setInterval(500);
    connect(timer_, &QTimer::timeout, this, &TForm_Link::refresh);
    timer_->start();
    lastAtMs_ = LinkClockMs();
    lastBytes_ = s_.counters.bytesSent + s_.counters.bytesAnswered;
    refresh();
}

void TForm_Link::refresh()
{
    const LinkCounters &c = s_.counters;
    requests_->setText(QString::number(c.requests));
    good_->setText(QString::number(c.good));
    refused_->setText(QString::number(c.refused));
    bad_->setText(QString::number(c.bad));
    timeouts_->setText(QString::number(c.timeouts));
    late_->setText(QString::number(c.lateBytesDiscarded));
    echoes_->setText(s_.link.lineEchoes ? QStringLiteral("%1 (the line echoes every request)").arg(c.echoesDiscarded)
                                        : QString::number(c.echoesDiscarded));
    const LineReport line = s_.port() ? s_.port()->lineReport() : LineReport{};
    const bool open = s_.port() && s_.port()->isOpen();
    const QString noDevice = open ? QStringLiteral("no driver (simulated drive)") : QStringLiteral("no serial device open");
    lowLatency_->setText(line.ttyName.isEmpty() ? noDevice : FeatureText(line.lowLatency));
    rs485_->setText(line.ttyName.isEmpty() ? noDevice : FeatureText(line.rs485));
    latencyTimer_->setText(line.ttyName.isEmpty() ? noDevice : LatencyTimerText(line));
    const QString activity = sources_.activity ? sources_.activity() : QString();
    activity_->setText(activity.isEmpty() ? QStringLiteral("idle") : activity);

    // The share of the wire since the last look: bytes both ways, 10 bits each.
    const qint64 now = LinkClockMs();
    const quint64 bytes = c.bytesSent + c.bytesAnswered;
    const int baud = sources_.baud ? sources_.baud() : 0;
    if (now - lastAtMs_ >= 250) {
        if (baud > 0) {
            const double bitsPerSecond = double(bytes - lastBytes_) * 10.0 * 1000.0 / double(now - lastAtMs_);
            wire_->setText(QStringLiteral("%1% of %2 baud").arg(100.0 * bitsPerSecond / baud, 0, 'f', 1).arg(baud));
        } else {
            wire_->setText(QStringLiteral("no wire (simulated drive)"));
        }
        lastAtMs_ = now;
        lastBytes_ = bytes;
    }

    if (pause_->isChecked() || s_.frameLog.added() == shownFrames_)
        return;
    shownFrames_ = s_.frameLog.added();
    frames_->setPlainText(framesText());
    frames_->moveCursor(QTextCursor::End);
}

QString TForm_Link::framesText() const
{
    QString text;
    for (const LoggedFrame &f : s_.frameLog.snapshot())
        text += FrameLog::line(f) + QLatin1Char('\n');
    return text;
}

bool TForm_Link::saveFrames()
{
    // What the panel shows: while paused, the frames as they were when it paused.
    const QString text = pause_->isChecked() ? frames_->toPlainText() + QLatin1Char('\n') : framesText();
    return SaveThroughDialog(*s_.messages(), QStringLiteral("txt"), QStringLiteral("frame log"),
                             [&text](const QString &path, QString *error) {
                                 return WriteFileAtomically(path, text.toUtf8(), error);
                             });
}

} // namespace velmora
