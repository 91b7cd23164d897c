#include "shell/ConnectionWindow.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

#include <span>

#include "widgets/GradientWidgets.h"
#include "widgets/Placement.h"

namespace velmora {

namespace {

constexpr char kCaption[] = "Comm Cable Wiring--";
constexpr char kRs232cHeader[] = "\u25B7 RS232C Channel";
constexpr char kRs485Header[] = "\u25B7 RS485 Channel";
constexpr char kClose[] = "Close";
constexpr char kCableNote[] = "Shielded 3-core cable, 24 AWG";
constexpr char kFrameGround[] = "F.G";

// One conductor: from a D-SUB pin (RS-232C) or a named ring terminal (RS-485) to a pin
// of the drive's 20-pin connector.
struct Lead {
    int pcPin;            // 0 on the RS-485 line side
    const char *name;     // the PC pin's signal, or the terminal's marking
    int drivePin;
    QRgb colour;
};

constexpr QRgb kBlue = qRgb(0x1e, 0x63, 0xc4);
constexpr QRgb kRed = qRgb(0xc8, 0x32, 0x2a);
constexpr QRgb kBlack = qRgb(0x2b, 0x2b, 0x2b);
constexpr QRgb kShieldGreen = qRgb(0x2e, 0x8b, 0x57);

// The PC side names are the standard D-SUB 9 assignment (2 receives, 3 transmits, 5 is
// signal ground); the drive side is identified by pin number only.
constexpr Lead kRs232cLeads[] = {
    {2, "RXD", 9, kBlue},
    {3, "TXD", 10, kRed},
    {5, "SG", 6, kBlack},
};
constexpr Lead kRs485Leads[] = {
    {0, "P", 7, kRed},
    {0, "N", 8, kBlue},
    {0, "Rt", 19, kBlack},
};

enum class Channel { Rs232c, Rs485 };

// Fixed geometry: the drawing is a picture, so it uses pixel-sized fonts and does not
// follow the desktop font size (which would make the labels overflow their boxes).
constexpr int kWidth = 700;
constexpr int kRs232cHeight = 256;
constexpr int kRs485Height = 214;
constexpr qreal kLeftX = 120;    // centre of the PC / line side column
constexpr qreal kRightX = 560;   // centre of the drive column
constexpr qreal kCableX = 330;   // centre of the cable between the two
constexpr qreal kFaceY = 68;     // centre of the connector face views
constexpr qreal kRowY = 136;     // first wire
constexpr qreal kRowPitch = 28;
constexpr qreal kPinRadius = 9;

const QColor kInk(0x1d, 0x2b, 0x3a);
const QColor kBody(0x4b, 0x53, 0x5c);
const QColor kFlange(0xc9, 0xce, 0xd4);
const QColor kEdge(0x8a, 0x90, 0x96);
const QColor kBrass(0xc9, 0xa2, 0x4a);

class WiringDrawing : public QWidget {
public:
    WiringDrawing(Channel channel, QWidget *parent)
        : QWidget(parent), channel_(channel)
    {
        setFixedSize(kWidth, channel == Channel::Rs232c ? kRs232cHeight : kRs485Height);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(rect(), Qt::white);
        if (channel_ == Channel::Rs232c)
            paintRs232c(p);
        else
            paintRs485(p);
    }

private:
    static std::span<const Lead> leadsOf(Channel channel)
    {
        return channel == Channel::Rs232c ? std::span<const Lead>(kRs232cLeads) : std::span<const Lead>(kRs485Leads);
    }

    // The lead colour for a pin, or an invalid colour when nothing is wired to it.
    QColor pinColour(int pin, bool drive) const
    {
        for (const Lead &lead : leadsOf(channel_)) {
            if ((drive ? lead.drivePin : lead.pcPin) == pin)
                return QColor(lead.colour);
        }
        return {};
    }

    QFont pixelFont(int pixels, bool bold = false, bool italic = false) const
    {
        QFont f = font();
        f.setPixelSize(pixels);
        f.setBold(bold);
        f.setItalic(italic);
        return f;
    }

    static qreal rowY(int row) { return kRowY + row * kRowPitch; }

    void paintRs232c(QPainter &p) const
    {
        drawTitle(p, kLeftX, 4, QStringLiteral("PC: D-SUB 9-pin"));
        drawTitle(p, kRightX, 4, QStringLiteral("VD-840: 20-pin connector"));
        drawDsub9(p, QPointF(kLeftX, kFaceY));
        drawDrive20(p, QPointF(kRightX, kFaceY));

        const auto leads = leadsOf(channel_);
        for (int row = 0; row < int(leads.size()); ++row) {
            const Lead &lead = leads[row];
            const qreal y = rowY(row);
            const QRectF left(kLeftX - 55, y - 10, 110, 20);
            const QRectF right(kRightX - 45, y - 10, 90, 20);
            drawWire(p, left.right(), right.left(), y, QColor(lead.colour));
            drawBox(p, left, QStringLiteral("Pin %1  %2").arg(lead.pcPin).arg(QLatin1String(lead.name)), QColor(lead.colour));
            drawBox(p, right, QStringLiteral("Pin %1").arg(lead.drivePin), QColor(lead.colour));
        }

        // The shield around the three cores, drained to the drive's frame ground only.
        const QColor green(kShieldGreen);
        const qreal midY = (rowY(0) + rowY(int(leads.size()) - 1)) / 2;
        const qreal ry = (rowY(int(leads.size()) - 1) - rowY(0)) / 2 + 22;
        const QRectF shield(kCableX - 22, midY - ry, 44, 2 * ry);
        const qreal fgY = rowY(int(leads.size())) + 12;
        const QRectF fg(kRightX - 45, fgY - 10, 90, 20);
        p.setPen(QPen(green, 1.6, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(shield);
        p.setPen(QPen(green, 2));
        const QPointF drain(kCableX, shield.bottom());
        p.drawPolyline(QList<QPointF>{drain, QPointF(kCableX, fgY), QPointF(fg.left(), fgY)});
        p.setBrush(green);
        p.drawEllipse(drain, 3, 3);
        drawBox(p, fg, QString::fromLatin1(kFrameGround), green);

        p.setPen(kInk);
        p.setFont(pixelFont(12, false, true));
        p.drawText(QRectF(kCableX - 110, shield.top() - 20, 220, 18), Qt::AlignCenter, QString::fromLatin1(kCableNote));
    }

    void paintRs485(QPainter &p) const
    {
        drawTitle(p, kRightX, 4, QStringLiteral("VD-840: 20-pin connector"));
        drawDrive20(p, QPointF(kRightX, kFaceY));
        drawTitle(p, kLeftX, rowY(0) - 40, QStringLiteral("RS-485 line: ring terminals"));

        const auto leads = leadsOf(channel_);
        for (int row = 0; row < int(leads.size()); ++row) {
            const Lead &lead = leads[row];
            const qreal y = rowY(row);
            const QRectF right(kRightX - 45, y - 10, 90, 20);
            const qreal wireStart = drawRingTerminal(p, y, QString::fromLatin1(lead.name), QColor(lead.colour));
            drawWire(p, wireStart, right.left(), y, QColor(lead.colour));
            drawBox(p, right, QStringLiteral("Pin %1").arg(lead.drivePin), QColor(lead.colour));
        }
    }

    void drawTitle(QPainter &p, qreal centreX, qreal top, const QString &text) const
    {
        p.setPen(kInk);
        p.setFont(pixelFont(12, true));
        p.drawText(QRectF(centreX - 120, top, 240, 18), Qt::AlignCenter, text);
    }

    void drawWire(QPainter &p, qreal x1, qreal x2, qreal y, const QColor &colour) const
    {
        p.setPen(QPen(colour, 2.5, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(x1, y), QPointF(x2, y));
    }

    void drawBox(QPainter &p, const QRectF &box, const QString &text, const QColor &colour) const
    {
        p.setPen(QPen(colour, 1.5));
        p.setBrush(Qt::white);
        p.drawRoundedRect(box, 3, 3);
        p.setPen(kInk);
        p.setFont(pixelFont(12));
        p.drawText(box, Qt::AlignCenter, text);
    }

    void drawPin(QPainter &p, const QPointF &centre, int number, const QColor &wired) const
    {
        p.setPen(QPen(QColor(0x22, 0x22, 0x22), 1));
        p.setBrush(wired.isValid() ? wired : QColor(0xf4, 0xf4, 0xf4));
        p.drawEllipse(centre, kPinRadius, kPinRadius);
        p.setPen(wired.isValid() ? QColor(Qt::white) : QColor(0x50, 0x50, 0x50));
        p.setFont(pixelFont(10, wired.isValid()));
        p.drawText(QRectF(centre.x() - kPinRadius, centre.y() - kPinRadius, 2 * kPinRadius, 2 * kPinRadius),
                   Qt::AlignCenter, QString::number(number));
    }

    // The cable's D-SUB plug: flange with screw holes, the D-shaped shell, pins 1-5 above
    // and 6-9 below.
    void drawDsub9(QPainter &p, const QPointF &c) const
    {
        p.setPen(QPen(kEdge, 1));
        p.setBrush(kFlange);
        p.drawRoundedRect(QRectF(c.x() - 100, c.y() - 38, 200, 76), 8, 8);
        for (const qreal dx : {-86.0, 86.0}) {
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(c.x() + dx, c.y()), 6, 6);
        }
        const QPolygonF shell{QPointF(c.x() - 75, c.y() - 30), QPointF(c.x() + 75, c.y() - 30),
                              QPointF(c.x() + 61, c.y() + 30), QPointF(c.x() - 61, c.y() + 30)};
        p.setPen(QPen(kBody, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(kBody);
        p.drawPolygon(shell);
        for (int i = 0; i < 5; ++i)
            drawPin(p, QPointF(c.x() + (i - 2) * 26, c.y() - 13), i + 1, pinColour(i + 1, false));
        for (int i = 0; i < 4; ++i)
            drawPin(p, QPointF(c.x() + (i - 1.5) * 26, c.y() + 13), i + 6, pinColour(i + 6, false));
    }

    // The drive's connector: pins 1-10 in the upper row, 11-20 in the lower.
    void drawDrive20(QPainter &p, const QPointF &c) const
    {
        p.setPen(Qt::NoPen);
        p.setBrush(kBody);
        p.drawRoundedRect(QRectF(c.x() - 16, c.y() - 38, 32, 10), 2, 2); // polarising key
        p.drawRoundedRect(QRectF(c.x() - 122, c.y() - 32, 244, 64), 6, 6);
        for (int i = 0; i < 10; ++i) {
            const qreal x = c.x() + (i - 4.5) * 23;
            drawPin(p, QPointF(x, c.y() - 14), i + 1, pinColour(i + 1, true));
            drawPin(p, QPointF(x, c.y() + 14), i + 11, pinColour(i + 11, true));
        }
    }

    // A marked wire end with a crimped ring terminal; returns where the wire leaves it.
    qreal drawRingTerminal(QPainter &p, qreal y, const QString &mark, const QColor &colour) const
    {
        const qreal ringX = kLeftX - 40;
        p.setPen(kInk);
        p.setFont(pixelFont(12, true));
        p.drawText(QRectF(ringX - 50, y - 10, 34, 20), Qt::AlignRight | Qt::AlignVCenter, mark);

        p.setPen(QPen(kBrass.darker(140), 1));
        p.setBrush(kBrass);
        p.drawRect(QRectF(ringX + 8, y - 4, 22, 8)); // crimp barrel
        QPainterPath ring;
        ring.addEllipse(QPointF(ringX, y), 10, 10);
        ring.addEllipse(QPointF(ringX, y), 4.5, 4.5);
        p.drawPath(ring);
        p.setPen(QPen(colour.darker(130), 1));
        p.setBrush(colour);
        p.drawRoundedRect(QRectF(ringX + 28, y - 6, 22, 12), 2, 2); // insulating sleeve
        return ringX + 50;
    }

    Channel channel_;
};

QFrame *channelSection(const char *header, const QString &name, Channel channel, QWidget *parent)
{
    auto *section = new QFrame(parent);
    section->setObjectName(name + QStringLiteral("Section"));
    section->setStyleSheet(QStringLiteral("QFrame#%1 { border: 1px solid #8a96a3; }").arg(section->objectName()));

    auto *bar = new Gradpanl(QString::fromUtf8(header), section);
    bar->setObjectName(name + QStringLiteral("Header"));
    bar->setFrameStyle(QFrame::NoFrame);
    bar->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    bar->setStartColor(QColor(0x3a, 0x5f, 0x98));
    bar->setEndColor(QColor(0x1f, 0x3f, 0x73));
    QPalette captionInk = bar->palette();
    captionInk.setColor(QPalette::WindowText, Qt::white);
    bar->setPalette(captionInk);
    QFont bold = bar->font();
    bold.setBold(true);
    bar->setFont(bold);

    auto *drawing = new WiringDrawing(channel, section);
    drawing->setObjectName(name + QStringLiteral("Wiring"));

    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(drawing);
    return section;
}

} // namespace

TForm_Connection::TForm_Connection(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form_Connection"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *close = new GradRoundBtn(QString::fromLatin1(kClose), this);
    close->setObjectName(QStringLiteral("GradRoundBtn2"));
    close->setMinimumWidth(96);
    close->setAutoDefault(false);
    connect(close, &GradRoundBtn::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);
    layout->addWidget(channelSection(kRs232cHeader, QStringLiteral("Rs232c"), Channel::Rs232c, this));
    layout->addWidget(channelSection(kRs485Header, QStringLiteral("Rs485"), Channel::Rs485, this));
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TForm_Connection::showEvent(QShowEvent *event)
{
    // Centred on the screen rather than over the main window, once: a later show (after
    // being minimised) leaves it where the user put it.
    if (!centred_ && !event->spontaneous()) {
        CentreOnScreen(this);
        centred_ = true;
    }
    QDialog::showEvent(event);
}

} // namespace velmora
