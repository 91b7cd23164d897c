#include "params/DisplayRules.h"

#include <cmath>

namespace velmora {

double WholeValueOf(const TParamDef &def, double decoded)
{
    if (def.IsReal == 0 && def.MinValue < 0 && decoded >= 32768.0 && decoded <= 65535.0
        && decoded == std::floor(decoded))
        return decoded - 65536.0;
    return decoded;
}

QString FormatRecordValue(const TParamDef &def, double decoded)
{
    return FormatParamValue(WholeValueOf(def, decoded), def.Decimals);
}

} // namespace velmora
