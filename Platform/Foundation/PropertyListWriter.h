#pragma once

#include "Platform/Foundation/Value.h"

// The two forms WritePropertyList produces, written straight from a value. Both expect text that
// is valid UTF-8 without NULs and fail (out empty) on null, image and pointer values and on nesting
// deeper than 256.
namespace plat {

// "bplist00": equal strings and keys are stored once.
bool WriteBinaryPropertyList(const Value& value, ByteArray& out);
// XML with a tab per level, as plistutil writes it.
bool WriteXmlPropertyList(const Value& value, ByteArray& out);

}  // namespace plat
