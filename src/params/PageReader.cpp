#include "params/PageReader.h"

#include "link/Transactions.h"
#include "params/Catalogue.h"
#include "params/DisplayRules.h"

namespace velmora {

ReplyOutcome TThread_Pg_READ::run()
{
    const ParamGroup &g = ParamGroups.at(size_t(group_ - 1));
    const ExchangeResult r = ReadRegisters(s_, g.defs[0].Address, uint16_t(g.defs.size()));
    // Only the drive's answer becomes a text: after a lost or bad reply the group's texts
    // and the page keep what they had.
    if (!r.good())
        return r.outcome;
    QStringList texts;
    for (size_t i = 0; i < g.defs.size(); ++i)
        texts << FormatParamValue(r.value(int(i) + 1), g.defs[i].Decimals);
    texts_.P(group_) = texts;
    s_.runOnUi([this, texts] {
        if (const auto &show = texts_.showOnPage.at(size_t(group_ - 1)))
            show(texts);
    });
    return r.outcome;
}

} // namespace velmora
