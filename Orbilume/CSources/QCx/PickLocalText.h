#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

// The localised pick of a maker's text: the text is a comma-separated list of alternatives
// (double quotes protect commas and line ends and are dropped; a line end outside quotes ends the
// list). The result is the first alternative, replaced by every later one that reads the same
// after a conversion from the system's legacy text encoding (Mac Roman) to UTF-8, which is exactly
// when the later one is plain ASCII: the last non-empty ASCII alternative wins, else the first
// stands.
LString PickLocalText(const LString& text);
LString PickLocalText(const unsigned char* text, uint32_t length);
