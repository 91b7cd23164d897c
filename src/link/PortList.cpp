#include "link/PortList.h"

#include <QCollator>
#include <QSerialPortInfo>

#include <algorithm>

#include "link/Texts.h"

namespace velmora {

namespace {

bool isUsbAdapter(const QString &name)
{
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

} // namespace

QList<PortEntry> SerialDevices()
{
    QList<PortEntry> list;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        list.append({info.portName(), info.systemLocation(), info.description(), false});
    QCollator natural;
    natural.setNumericMode(true);
    std::stable_sort(list.begin(), list.end(), [&natural](const PortEntry &a, const PortEntry &b) {
        const bool ua = isUsbAdapter(a.name), ub = isUsbAdapter(b.name);
        if (ua != ub)
            return ua;
        return natural.compare(a.name, b.name) < 0;
    });
    return list;
}

QList<PortEntry> SelectablePorts()
{
    QList<PortEntry> list = SerialDevices();
    list.append({QString::fromLatin1(texts::SimulatedDrive), QString(), QString(), true});
    return list;
}

} // namespace velmora
