#include "params/ChangeRecordCsv.h"

#include <QDateTime>

#include "link/DriveSession.h"
#include "params/Catalogue.h"
#include "params/CsvText.h"

namespace velmora {

namespace {

constexpr uint16_t kInputControlRegister = 2000;

QString valueText(uint16_t address, quint32 word)
{
    if (address == kInputControlRegister)
        return QStringLiteral("0x") + QString::number(word & 0xFFFF, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    const float v = DecodeRegisterValue(uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word));
    if (const TParamDef *def = FindParamDef(address))
        return FormatParamValue(v, def->Decimals);
    return QString::number(double(v), 'g', 9);
}


} // namespace

QStringList ChangeRecordHeadings()
{
    return {QStringLiteral("Time"),    QStringLiteral("Station"), QStringLiteral("Parameter"),
            QStringLiteral("Register"), QStringLiteral("Before"),  QStringLiteral("Written"),
            QStringLiteral("Read back"), QStringLiteral("Outcome")};
}

QStringList ChangeRecordRow(const ChangeEntry &e)
{
    QString id = e.address == kInputControlRegister ? QStringLiteral("input control") : ParamIdForAddress(e.address);
    return {QDateTime::fromMSecsSinceEpoch(e.atMs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
            QString::number(e.station),
            id,
            QString::number(e.address),
            e.before ? valueText(e.address, *e.before) : QString(),
            valueText(e.address, e.written),
            e.readBack ? valueText(e.address, *e.readBack) : QString(),
            QString::fromLatin1(OutcomeName(e.outcome))};
}

QByteArray ChangeRecordCsv(const std::vector<ChangeEntry> &entries)
{
    QByteArray out;
    const auto line = [&out](const QStringList &fields) {
        for (qsizetype i = 0; i < fields.size(); ++i)
            out += (i ? "," : "") + CsvField(fields[i]);
        out += "\r\n";
    };
    line(ChangeRecordHeadings());
    for (const ChangeEntry &e : entries)
        line(ChangeRecordRow(e));
    return out;
}

} // namespace velmora
