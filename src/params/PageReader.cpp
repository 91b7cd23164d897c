#include "params/PageReader.h"

#include "link/Transactions.h"
#include "params/Catalogue.h"

namespace velmora {

ReplyOutcome TThread_Pg_READ::run()
{
    const ParamGroup &g = ParamGroups.at(size_t(group_ - 1));
    const ReplyOutcome o = ReadRegisters(s_, g.defs[0].Address, uint16_t(g.defs.size()));
    // Only the drive's answer becomes a text: after a lost or bad reply the decoded values
    // belong to an earlier read, and the group's texts and the page keep what they had.
    if (o != ReplyOutcome::Good)
        return o;
    QStringList texts;
    for (size_t i = 0; i < g.defs.size(); ++i)
        texts << FormatParamValue(s_.reply.decodedValues[i + 1], g.defs[i].Decimals);
    texts_.P(group_) = texts;
    s_.runOnUi([this, texts] {
        if (const auto &show = texts_.showOnPage.at(size_t(group_ - 1)))
            show(texts);
    });
    return o;
}

} // namespace velmora
