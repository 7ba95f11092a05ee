#include "Orbilume/CSources/Led/DimSampling.h"

#include <algorithm>
#include <cstring>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Models/UMat4.h"

namespace {

using T = CDimTypes;

// More cells than the largest grid a definition file may hold, with room: larger grids sample as
// a missing definition instead of allocating tables of any size.
constexpr uint64_t kMaxCells = 1u << 20;
constexpr uint32_t kMaxChannels = 1u << 16;

// A prefix or suffix entry: below 1 sends 0, else its low 8 bits.
uint8_t Level(int32_t value) {
    return value < 1 ? 0 : static_cast<uint8_t>(value & 0xFF);
}

int32_t Entry(const std::vector<int32_t>& table, uint64_t index) {
    return index < table.size() ? table[index] : 0;
}

}  // namespace

SDimDefInfo SDimDefInfo::FromRecord(const std::string& name, const CRecord* def) {
    SDimDefInfo info;
    info.name = name;
    if (!def || def->Type() != T::Didf()) return info;
    const uint32_t columns = def->GetUInt(T::kDidfColumns), rows = def->GetUInt(T::kDidfRows);
    const uint64_t cells = uint64_t{columns} * rows;
    if (cells > kMaxCells) return info;
    info.columns = columns;
    info.rows = rows;
    info.composition = def->GetByte(T::kDidfComposition);
    info.slotsPerDot = CDimDefStore::ChannelsPerDot(def);
    info.prefix = def->GetByte(T::kDidfPrefixCount);
    info.suffix = def->GetByte(T::kDidfSuffixCount);
    info.dotOrder.resize(cells);
    for (uint32_t i = 0; i < cells; ++i) info.dotOrder[i] = CDimDefStore::DotOrder(def, i);
    const uint32_t n = std::min(def->ArrayCount(T::kDidfChannels), kMaxChannels);
    info.channels.resize(n);
    for (uint32_t i = 0; i < n; ++i) info.channels[i] = CDimDefStore::ChannelCode(def, i);
    return info;
}

void SDimPort::Clear() {
    used = 0;
    std::memset(slots, 0, sizeof slots);
}

namespace dimsample {

void ComputeGeometry(SDimDevice& device, uint32_t dotGap, uint32_t canvasWidth, uint32_t canvasHeight,
                     const Placement& place) {
    const SDimDefInfo* d = device.def;
    const float k = static_cast<float>(std::min<uint32_t>(dotGap, 2) + 1);
    const float c = d ? static_cast<float>(d->columns) : 1.0f;
    const float r = d ? static_cast<float>(d->rows) : 1.0f;
    const float w = static_cast<float>(canvasWidth), h = static_cast<float>(canvasHeight);
    const float m = std::max(w, h);
    float matrix[16];
    UMat4::Identity(matrix);
    UMat4::Translate(matrix, w / 2, h / 2, 0);
    UMat4::Scale(matrix, m / 2, m / 2, 1);
    UMat4::Translate(matrix, place.posX, place.posY, 0);
    UMat4::Rotate(matrix, place.rotation, 0, 0, 1);
    UMat4::Scale(matrix, place.width / 2, place.height / 2, 1);
    // Zero-size grids give infinite steps; sampling skips points that are not finite.
    const auto first = UMat4::TransformPoint2(1 / (k * c) - 1, 1 - 1 / (k * r), matrix);
    const auto col = UMat4::TransformVector2(2 / c, 0, matrix);
    const auto row = UMat4::TransformVector2(0, -2 / r, matrix);
    device.x0 = first[0];
    device.y0 = first[1];
    device.colDx = col[0];
    device.colDy = col[1];
    device.rowDx = row[0];
    device.rowDy = row[1];
}

// Calls put(dot, pixel) for each cell of the device's grid whose point lies on the canvas and whose
// dot number is at least 1, row by row. Float bounds: NaN, infinities and values past the canvas
// fail the comparisons, so the conversions only see points inside it (where truncation is the
// floor).
template <class Put>
inline void Walk(const SDimDevice& device, const uint32_t* pixels, uint32_t width, uint32_t height, Put&& put) {
    const SDimDefInfo* d = device.def;
    const float w = float(width), h = float(height);
    const size_t cells = d->dotOrder.size();
    const int32_t* order = d->dotOrder.data();
    float rowX = device.x0, rowY = device.y0;
    uint64_t cell = 0;
    for (uint32_t r = 0; r < d->rows; ++r) {
        float x = rowX, y = rowY;
        for (uint32_t c = 0; c < d->columns; ++c, ++cell, x += device.colDx, y += device.colDy) {
            if (!(x >= 0 && x < w && y >= 0 && y < h)) continue;
            const int64_t dot = cell < cells ? order[cell] : 0;
            if (dot < 1) continue;
            put(dot, pixels[size_t(uint32_t(y)) * width + uint32_t(x)]);
        }
        rowX += device.rowDx;
        rowY += device.rowDy;
    }
}

void SampleDevice(const SDimDevice& device, const uint32_t* pixels, uint32_t width, uint32_t height) {
    SDimPort* port = device.port;
    const SDimDefInfo* d = device.def;
    if (!port || !d) return;
    uint8_t* slots = port->slots;
    // 64 bits throughout: no document value can wrap a bound.
    const int64_t s = device.firstSlot;
    if (s < 1 || s > 512) return;
    const int64_t pre = d->prefix, post = d->suffix, n = d->slotsPerDot;
    if (pre > 0 && s + pre < 514)
        for (int64_t i = 0; i < pre; ++i) slots[s + i] = Level(Entry(d->channels, uint64_t(i)));
    const int64_t e = s + pre + int64_t{d->columns} * n * int64_t{d->rows};
    if (post > 0 && e + post < 514)
        for (int64_t j = 0; j < post; ++j) slots[e + j] = Level(Entry(d->channels, uint64_t(pre + n + j)));

    const uint8_t composition = d->composition;
    int64_t end = 0;
    if (composition <= 3 && pixels) {
        // One walk per composition, so the dot loop carries no composition test.
        if (composition == 1) {
            Walk(device, pixels, width, height, [&](int64_t dot, uint32_t pixel) {
                const int64_t b = s + 3 * (dot - 1);
                if (b > 510) return;
                slots[b] = uint8_t(pixel >> 16);
                slots[b + 1] = uint8_t(pixel >> 8);
                slots[b + 2] = uint8_t(pixel);
                end = std::max(end, b + 3);
            });
        } else if (composition == 0) {
            Walk(device, pixels, width, height, [&](int64_t dot, uint32_t pixel) {
                const int64_t b = (dot - 1) * n + s + pre;
                if (b + n > 513) return;
                const uint8_t red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
                for (int64_t k = 0; k < n; ++k) {
                    const int32_t code = Entry(d->channels, uint64_t(pre + k));
                    uint8_t v;
                    switch (code) {
                        case T::kCodeLuminance:
                            v = Luminance(pixel);
                            break;
                        case T::kCodeBlue:
                            v = blue;
                            break;
                        case T::kCodeGreen:
                            v = green;
                            break;
                        case T::kCodeRed:
                            v = red;
                            break;
                        default:
                            v = code >= 0 ? static_cast<uint8_t>(code & 0xFF) : 0;
                            break;
                    }
                    slots[b + k] = v;
                }
                end = std::max(end, b + n);
            });
        } else {
            const uint8_t fourth = composition == 2 ? 0 : 255;
            Walk(device, pixels, width, height, [&](int64_t dot, uint32_t pixel) {
                const int64_t b = s + 4 * (dot - 1);
                if (b > 509) return;
                slots[b] = uint8_t(pixel >> 16);
                slots[b + 1] = uint8_t(pixel >> 8);
                slots[b + 2] = uint8_t(pixel);
                slots[b + 3] = fourth;
                end = std::max(end, b + 4);
            });
        }
    }
    if (end >= port->used) port->used = static_cast<uint16_t>(std::min<int64_t>(end, 513));
}

}  // namespace dimsample
