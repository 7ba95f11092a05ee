#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"

// The description of one composition port, as MQcComposition_::ReadPortDesc fills it; unit
// parameters build on it.
struct CQcPortDesc {
    // plat::PortType's numbering: 0 other, 1 boolean, 2 index, 3 number, 4 string, 5 colour,
    // 6 image, 7 structure.
    uint32_t kind = 0;
    LString key;
    LString name;
    float defaultValue = 0;
    float min = 0;
    float max = 0;
    // Set for the audio-spectrum structure input.
    uint8_t audioSpectrum = 0;
    // Text lines of a string editor.
    uint8_t lines = 2;
    // Decimals shown for numbers; -1: they follow from the range.
    int32_t decimals = -1;
    // An output whose value is shown beside this input.
    LString monitorKey;
    // 1: the value is shown as a time.
    uint32_t timeFormat = 0;
    // Labels of an index port's values, in index order.
    std::vector<LString> menuLabels;
    // The "strsel" extended attribute of a string port.
    LString stringSelection;
};

// An image port: its key, and 1 for the protocol's standard image input or output.
struct CQcImagePort {
    LString key;
    uint8_t standard = 0;
};
