#pragma once

#include <cstdint>

// The fixed-width text of an Art-Net port address (net in bits 8-14, sub-net in bits 4-7, universe
// in bits 0-3; higher bits ignored): "nnn/ s/ u" right-aligned with blanks, 9 characters and a
// terminating zero, written whole into out.
void FormatArtNetAddress(int32_t portAddress, char out[10]);
