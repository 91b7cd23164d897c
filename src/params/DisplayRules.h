#pragma once

#include <QString>

#include "params/Catalogue.h"

namespace velmora {

// A whole register carries its number in 16 bits; a record that admits negative values
// holds it as two's complement, so 65535 there means -1.
double WholeValueOf(const TParamDef &def, double decoded);

// The nearest whole number, halves to even, as the drive's function and alarm numbers
// are read. Values beyond the int range are held at its ends; NaN, which names nothing,
// gives -1.
int NearestWhole(double value);

// Display text of a value read for a record: signed whole values as plain integers,
// everything else by the display rule with the record's decimals.
QString FormatRecordValue(const TParamDef &def, double decoded);

} // namespace velmora
