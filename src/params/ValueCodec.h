#pragma once

// Typed values and register words: the user's text, range-tested against a parameter's
// catalogue record, becomes the 32-bit word a write sends.

#include <cstdint>

#include <QString>

#include "link/FrameCodec.h"
#include "params/Catalogue.h"

namespace velmora {

// Parses typed text as a real number (locale separator or point), rejecting anything that
// is not a finite number. Shared by the converters and every window that reads a typed number.
bool ParseTypedReal(const QString &text, double &value);
bool ParseTypedWhole(const QString &text, int32_t &value);

// Parse, range-test against def and on success put the register value into entry.
// Both accept the user's locale decimal separator and a point. On false, entry is untouched.
bool Change_Float2HEX(const QString &text, const TParamDef &def, WriteWord &entry);
bool Change_Int2HEX(const QString &text, const TParamDef &def, WriteWord &entry);

// Either converter, by the record's kind.
bool EncodeTypedValue(const QString &text, const TParamDef &def, WriteWord &entry);

// Whether the text passes the range test and conversion for the record, without sending.
bool ConvertsFor(const TParamDef &def, const QString &text);

} // namespace velmora
