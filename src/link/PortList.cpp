#include "link/PortList.h"

#include <QSerialPortInfo>

#include <algorithm>

#include "link/Texts.h"

namespace velmora {

namespace {

bool looksUsb(const PortEntry &p)
{
    return p.usb || p.name.startsWith(QLatin1String("ttyUSB")) || p.name.startsWith(QLatin1String("ttyACM"));
}

// 0: USB adapters, 1: other ports, 2: legacy on-board ports.
int group(const PortEntry &p)
{
    if (looksUsb(p))
        return 0;
    return p.legacy() ? 2 : 1;
}

// "ttyUSB2" before "ttyUSB10": runs of digits compare as numbers. (QCollator's numeric
// mode depends on how Qt was built and is not honoured everywhere.)
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            const qulonglong x = a.mid(i, ei - i).toULongLong(), y = b.mid(j, ej - j).toULongLong();
            if (x != y)
                return x < y;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

QString PortEntry::displayText() const
{
    if (simulated)
        return name;
    QString text = name;
    if (!description.isEmpty())
        text += QStringLiteral(" - ") + description;
    if (usb) {
        QString ids = QStringLiteral("%1:%2")
                          .arg(vendorId, 4, 16, QLatin1Char('0'))
                          .arg(productId, 4, 16, QLatin1Char('0'));
        if (!serialNumber.isEmpty())
            ids += QStringLiteral(", serial ") + serialNumber;
        text += QStringLiteral(" [%1]").arg(ids);
    }
    return text;
}

bool PortEntry::legacy() const
{
    return !simulated && name.size() > 4 && name.startsWith(QLatin1String("ttyS")) && name.at(4).isDigit();
}

void OrderPorts(QList<PortEntry> &ports)
{
    std::stable_sort(ports.begin(), ports.end(), [](const PortEntry &a, const PortEntry &b) {
        const int ga = group(a), gb = group(b);
        if (ga != gb)
            return ga < gb;
        return naturalLess(a.name, b.name);
    });
}

QList<PortEntry> SerialDevices()
{
    QList<PortEntry> list;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        PortEntry e{info.portName(), info.systemLocation(), info.description(), false};
        e.usb = info.hasVendorIdentifier() && info.hasProductIdentifier();
        e.vendorId = info.vendorIdentifier();
        e.productId = info.productIdentifier();
        e.serialNumber = info.serialNumber();
        list.append(e);
    }
    OrderPorts(list);
    return list;
}

PortEntry SimulatedEntry()
{
    return PortEntry{QString::fromLatin1(texts::SimulatedDrive), QString(), QString(), true};
}

QList<PortEntry> WithSimulatedDrive(QList<PortEntry> devices)
{
    const auto firstLegacy = std::find_if(devices.begin(), devices.end(), [](const PortEntry &p) { return p.legacy(); });
    devices.insert(firstLegacy, SimulatedEntry());
    return devices;
}

int FindAdapter(const QList<PortEntry> &ports, const QString &serialNumber)
{
    if (serialNumber.isEmpty())
        return -1;
    for (int i = 0; i < ports.size(); ++i)
        if (ports.at(i).usb && ports.at(i).serialNumber == serialNumber)
            return i;
    return -1;
}

} // namespace velmora
