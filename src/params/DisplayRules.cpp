#include "params/DisplayRules.h"

#include <cmath>
#include <limits>

namespace velmora {

int NearestWhole(double value)
{
    if (std::isnan(value))
        return -1;
    const double r = std::nearbyint(value);
    if (r <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (r >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(r);
}

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
