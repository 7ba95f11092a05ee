#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CDmxIO;
class CRecord;

// What the LED output samples per definition: grid, slots per dot, composition and the two tables
// (32 bits wide: every code of the record reads as it stands).
struct SDimDefInfo {
    std::string name;
    uint32_t columns = 1;
    uint32_t rows = 1;
    uint32_t slotsPerDot = 0;
    uint32_t prefix = 0;
    uint32_t suffix = 0;
    uint8_t composition = 1;
    std::vector<int32_t> dotOrder;  // one entry per cell, row-major, row 0 at the top
    std::vector<int32_t> channels;  // prefix values, the codes of one dot, suffix values

    // From a DIDF record; null gives the stand-in of a missing definition (1 × 1 dots, no slots).
    static SDimDefInfo FromRecord(const std::string& name, const CRecord* definition);
};

// One output: a USB DMX interface or a network universe, with its 513-byte universe.
struct SDimPort {
    enum : uint32_t { kUsb = 1, kNetwork = 2 };
    uint32_t kind = kNetwork;
    std::string serial;     // USB
    CDmxIO* io = nullptr;   // USB
    uint32_t universe = 0;  // network
    uint16_t used = 0;      // highest slot written + 1 (start code at 0); 0: nothing written
    uint8_t slots[513] = {};

    void Clear();
};

// One placed device: where its dots lie on the canvas (pixels, row 0 at the bottom).
struct SDimDevice {
    CRecord* record = nullptr;  // its DIDV
    SDimDefInfo* def = nullptr;
    SDimPort* port = nullptr;
    uint32_t firstSlot = 1;
    float x0 = 0, y0 = 0;        // first sample point
    float colDx = 0, colDy = 0;  // from one dot to the next in a row
    float rowDx = 0, rowDy = 0;  // from one row to the next
};

namespace dimsample {

// Canvas geometry of a device: dot gap (taken as at most 2), canvas size, place, size and rotation
// in canvas units and degrees.
struct Placement {
    float posX = 0, posY = 0, width = 0, height = 0, rotation = 0;
};
void ComputeGeometry(SDimDevice& device, uint32_t dotGap, uint32_t canvasWidth, uint32_t canvasHeight,
                     const Placement& place);

// Writes the device's slots into its port from a frame of width × height pixels (0xAARRGGBB, row 0
// at the bottom). Only slots 1..512 are written; cells outside the canvas or at points that are not
// finite are skipped. Raises the port's used length.
void SampleDevice(const SDimDevice& device, const uint32_t* pixels, uint32_t width, uint32_t height);

// (R × 76 + G × 150 + B × 29) >> 8 of a 0xAARRGGBB pixel.
inline uint8_t Luminance(uint32_t pixel) {
    const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    return static_cast<uint8_t>((r * 76 + g * 150 + b * 29) >> 8);
}

}  // namespace dimsample
