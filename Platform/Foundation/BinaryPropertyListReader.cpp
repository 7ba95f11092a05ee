#include "Platform/Foundation/BinaryPropertyListReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Platform/Foundation/Bytes.h"
#include "Platform/Foundation/PropertyListCheck.h"
#include "Platform/Foundation/PropertyListDate.h"
#include "Platform/Foundation/TextEncoding.h"

namespace plat {

namespace {

void AppendUnit(uint32_t cp, std::string& out) {
    uint8_t b[4];
    out.append(reinterpret_cast<const char*>(b), EncodeUtf8Char(cp, b));
}

}  // namespace

BinaryPropertyListReader::BinaryPropertyListReader(const uint8_t* data, size_t size,
                                                   const PropertyListLimits& limits)
    : fData(data), fSize(size), fLimits(limits) {}

uint64_t BinaryPropertyListReader::ReadSized(size_t pos, unsigned bytes) const {
    // Integers wider than eight bytes keep their low eight.
    if (bytes > 8) {
        pos += bytes - 8;
        bytes = 8;
    }
    switch (bytes) {
        case 1:
            return fData[pos];
        case 2:
            return LoadBE16(fData + pos);
        case 4:
            return LoadBE32(fData + pos);
        case 8:
            return LoadBE64(fData + pos);
        default:
            return LoadBE(fData + pos, bytes);
    }
}

bool BinaryPropertyListReader::Read(Value& out) {
    constexpr size_t kTrailer = 32;
    if (!CheckBinaryPropertyList(fData, fSize, fLimits, &fShared)) return false;
    const uint8_t* t = fData + fSize - kTrailer;
    fOffsetSize = t[6];
    fRefSize = t[7];
    fCount = static_cast<size_t>(LoadBE64(t + 8));
    const uint64_t top = LoadBE64(t + 16);
    fTableOffset = static_cast<size_t>(LoadBE64(t + 24));
    if (top >= fCount) return false;
    Cost cost;
    return Decode(static_cast<size_t>(top), 1, out, cost);
}

bool BinaryPropertyListReader::Decode(size_t index, uint32_t depth, Value& out, Cost& cost) {
    if (index >= fCount) return false;
    Cost own;
    if (!fShared[index]) {
        if (!DecodeObject(index, depth, out, own)) return false;
    } else {
        auto it = fDone.find(index);
        if (it == fDone.end()) {
            Value v;
            if (!DecodeObject(index, depth, v, own)) return false;
            it = fDone.emplace(index, std::make_pair(std::move(v), own)).first;
        }
        out = it->second.first;
        own = it->second.second;
    }
    if (depth + own.height - 1 > fLimits.maxDepth) return false;
    if (own.nodes > fLimits.maxNodes - cost.nodes || own.bytes > fLimits.maxExpandedBytes - cost.bytes)
        return false;
    cost.nodes += own.nodes;
    cost.bytes += own.bytes;
    cost.height = std::max(cost.height, own.height + 1);
    return true;
}

bool BinaryPropertyListReader::Length(size_t& pos, uint8_t low, uint64_t& length) const {
    length = low;
    if (low != 0x0F) return true;
    const uint8_t marker = fData[pos++];
    if ((marker & 0xF0) != 0x10) return false;
    const unsigned bytes = 1u << (marker & 0x0F);
    if (bytes > fTableOffset - pos) return false;
    length = ReadSized(pos, bytes);
    pos += bytes;
    return true;
}

bool BinaryPropertyListReader::DecodeString(size_t pos, uint8_t type, uint64_t length,
                                            std::string& out) const {
    if (type == 0x5) {
        const char* chars = reinterpret_cast<const char*>(fData + pos);
        out.assign(chars, strnlen(chars, static_cast<size_t>(length)));
        return true;
    }
    // UTF-16: unpaired surrogates are dropped; an empty text is refused.
    if (length == 0) return false;
    out.clear();
    out.reserve(static_cast<size_t>(length));
    bool lead = false;
    uint32_t w = 0;
    for (uint64_t i = 0; i < length; ++i) {
        const uint32_t u = LoadBE16(fData + pos + 2 * i);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (!lead) w = 0x10000 + ((u & 0x3FF) << 10);
            lead = !lead;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            if (lead) AppendUnit(w | (u & 0x3FF), out);
            lead = false;
        } else {
            AppendUnit(u, out);
        }
    }
    return true;
}

bool BinaryPropertyListReader::DecodeObject(size_t index, uint32_t depth, Value& out, Cost& cost) {
    if (depth > fLimits.maxDepth || fLimits.maxNodes == 0) return false;
    cost.nodes = 1;
    cost.height = 1;
    size_t pos = static_cast<size_t>(ReadSized(fTableOffset + index * fOffsetSize, fOffsetSize));
    if (pos < 8 || pos >= fTableOffset) return false;
    const uint8_t marker = fData[pos++];
    const uint8_t type = marker >> 4, low = marker & 0x0F;
    auto fits = [&](uint64_t bytes) { return bytes <= fTableOffset - pos; };
    auto account = [&](uint64_t bytes) {
        if (bytes > fLimits.maxExpandedBytes - cost.bytes) return false;
        cost.bytes += bytes;
        return true;
    };
    switch (type) {
        case 0x0:
            if (low != 0x8 && low != 0x9) return false;
            out = Value(low == 0x9);
            return true;
        case 0x1: {
            if (low > 4 || !fits(1u << low)) return false;
            out = Value(static_cast<int64_t>(ReadSized(pos, 1u << low)));
            return true;
        }
        case 0x2:
        case 0x3: {
            if (low != 2 && low != 3) return false;
            if (type == 0x3 && low != 3) return false;
            if (!fits(1u << low)) return false;
            double d;
            if (low == 2) {
                uint32_t bits = LoadBE32(fData + pos);
                float f;
                std::memcpy(&f, &bits, sizeof f);
                d = f;
            } else {
                uint64_t bits = LoadBE64(fData + pos);
                std::memcpy(&d, &bits, sizeof d);
            }
            out = Value(type == 0x3 ? PropertyListDateValue(d) : d);
            return true;
        }
        case 0x4: {
            uint64_t length;
            if (!Length(pos, low, length) || !fits(length) || !account(length)) return false;
            out = Value(ByteArray(fData + pos, fData + pos + length));
            return true;
        }
        case 0x5:
        case 0x6: {
            uint64_t length;
            if (!Length(pos, low, length)) return false;
            if (length > fTableOffset || !fits(type == 0x6 ? length * 2 : length)) return false;
            std::string s;
            if (!DecodeString(pos, type, length, s) || !account(s.size())) return false;
            out = IsValidUtf8(s) ? Value(std::move(s)) : Value(ValidUtf8(s));
            return true;
        }
        case 0x8: {
            if (!fits(low + 1u)) return false;
            const uint64_t uid = ReadSized(pos, low + 1u);
            if (uid > UINT32_MAX) return false;
            out = Value(static_cast<int64_t>(uid));
            return true;
        }
        case 0xA:
        case 0xC: {
            uint64_t length;
            if (!Length(pos, low, length)) return false;
            if (length > fTableOffset || length > (fTableOffset - pos) / fRefSize) return false;
            if (!account(length * sizeof(Value))) return false;
            ValueArray a(static_cast<size_t>(length));
            for (size_t i = 0; i < a.size(); ++i) {
                size_t child = static_cast<size_t>(ReadSized(pos + i * fRefSize, fRefSize));
                if (!Decode(child, depth + 1, a[i], cost)) return false;
            }
            out = Value(std::move(a));
            return true;
        }
        case 0xD: {
            uint64_t length;
            if (!Length(pos, low, length)) return false;
            if (length > fTableOffset || length * 2 > (fTableOffset - pos) / fRefSize) return false;
            Dictionary d;
            d.Reserve(static_cast<size_t>(length));
            std::string key;
            for (size_t i = 0; i < length; ++i) {
                size_t k = static_cast<size_t>(ReadSized(pos + i * fRefSize, fRefSize));
                size_t v = static_cast<size_t>(ReadSized(pos + (length + i) * fRefSize, fRefSize));
                if (k >= fCount || v >= fCount) return false;
                // Keys are strings, read in place and not counted as nodes.
                size_t kpos = static_cast<size_t>(ReadSized(fTableOffset + k * fOffsetSize, fOffsetSize));
                if (kpos < 8 || kpos >= fTableOffset) return false;
                const uint8_t kmarker = fData[kpos++];
                const uint8_t ktype = kmarker >> 4;
                uint64_t klength;
                if (ktype != 0x5 && ktype != 0x6) return false;
                if (!Length(kpos, kmarker & 0x0F, klength)) return false;
                if (klength > fTableOffset || (ktype == 0x6 ? klength * 2 : klength) > fTableOffset - kpos)
                    return false;
                if (!DecodeString(kpos, ktype, klength, key) || !account(key.size() + sizeof(Value)))
                    return false;
                Value value;
                if (!Decode(v, depth + 1, value, cost)) return false;
                if (IsValidUtf8(key))
                    d.Set(key, std::move(value));
                else
                    d.Set(ValidUtf8(key), std::move(value));
            }
            out = Value(std::move(d));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace plat
