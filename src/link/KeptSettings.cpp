#include "link/KeptSettings.h"

#include <QSettings>

#include <memory>

namespace velmora {

namespace {
std::unique_ptr<QSettings> &store()
{
    static std::unique_ptr<QSettings> settings;
    return settings;
}
} // namespace

void KeptSettings::enable(const QString &iniFile)
{
    store() = iniFile.isEmpty() ? std::make_unique<QSettings>()
                                : std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
}

void KeptSettings::disable()
{
    store().reset();
}

bool KeptSettings::enabled()
{
    return store() != nullptr;
}

QVariant KeptSettings::value(const QString &key, const QVariant &fallback)
{
    return store() ? store()->value(key, fallback) : fallback;
}

void KeptSettings::setValue(const QString &key, const QVariant &value)
{
    if (!store())
        return;
    store()->setValue(key, value);
    store()->sync();
}

void LoadPortChoices(PortSettings &s)
{
    if (!KeptSettings::enabled())
        return;
    bool ok = false;
    const auto whole = [&ok](const char *key, int fallback, int lo, int hi) {
        const int v = KeptSettings::value(QStringLiteral("port/") + QLatin1String(key), fallback).toInt(&ok);
        return ok && v >= lo && v <= hi ? v : fallback;
    };
    s.ComNumber = whole("number", s.ComNumber, 0, 8);
    s.Baud = whole("baud", s.Baud, 1200, 115200);
    s.DataBits = whole("dataBits", s.DataBits, 5, 8);
    s.Parity = PortSettings::ParityChoice(whole("parity", int(s.Parity), 0, 4));
    s.StopBits = whole("stopBits", s.StopBits, 1, 2);
    s.SWFlowOptions = KeptSettings::value(QStringLiteral("port/xonXoff"), s.SWFlowOptions).toBool();
    s.rs485 = KeptSettings::value(QStringLiteral("port/rs485"), s.rs485).toBool();
    s.adapterSerial = KeptSettings::value(QStringLiteral("port/adapterSerial"), s.adapterSerial).toString();
}

void SavePortChoices(const PortSettings &s)
{
    KeptSettings::setValue(QStringLiteral("port/number"), s.ComNumber);
    KeptSettings::setValue(QStringLiteral("port/baud"), s.Baud);
    KeptSettings::setValue(QStringLiteral("port/dataBits"), s.DataBits);
    KeptSettings::setValue(QStringLiteral("port/parity"), int(s.Parity));
    KeptSettings::setValue(QStringLiteral("port/stopBits"), s.StopBits);
    KeptSettings::setValue(QStringLiteral("port/xonXoff"), s.SWFlowOptions);
    KeptSettings::setValue(QStringLiteral("port/rs485"), s.rs485);
    KeptSettings::setValue(QStringLiteral("port/adapterSerial"), s.adapterSerial);
}

} // namespace velmora
