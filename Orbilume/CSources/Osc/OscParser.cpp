#include "Orbilume/CSources/Osc/OscParser.h"

#include <cstring>

#include "Platform/Foundation/Bytes.h"

namespace {

enum : uint8_t {
    kAddress,
    kAddressPad,
    kTags,
    kTagPad,
    kArgs,
    kString,
    kBlobData,
    kArgPad,
    kDone,
    kBundleTime,
    kElementSize,
};

}  // namespace

OscParser::OscParser() {
    fAddress.reserve(64);
    fTags.reserve(64);
    fEnclosingEnds.reserve(kMaxDepth);
}

void OscParser::Reset() {
    fState = kAddress;
    fPosition = 0;
    fElementEnd = 0;
    fRemaining = 0;
    fCollected = 0;
    fNextTag = 0;
    fTag = 0;
    fBundleTimeTag = 0;
    fAddress.clear();
    fTags.clear();
    fEnclosingEnds.clear();
}

int32_t OscParser::Int() const {
    return int32_t(plat::LoadBE32(fBytes));
}

float OscParser::Float() const {
    uint32_t bits = plat::LoadBE32(fBytes);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

uint64_t OscParser::TimeTag() const {
    return plat::LoadBE64(fBytes);
}

// The element (or the bundle being read) whose end the position has reached is finished: go on
// with the next element of the enclosing bundle.
void OscParser::FinishElements() {
    while (fElementEnd != 0 && fPosition >= fElementEnd) {
        if (fState == kElementSize && !fEnclosingEnds.empty()) fEnclosingEnds.pop_back();
        fElementEnd = fEnclosingEnds.empty() ? 0 : fEnclosingEnds.back();
        fState = kElementSize;
        fCollected = 0;
    }
}

int OscParser::Feed(const uint8_t*& cursor, const uint8_t* end) {
    for (;;) {
        const uint8_t* limit = end;
        bool atElementEnd = false;
        if (fElementEnd != 0 && fElementEnd - fPosition <= uint64_t(end - cursor)) {
            limit = cursor + (fElementEnd - fPosition);
            atElementEnd = true;
        }
        int r = Step(cursor, limit);
        if (r >= 0) return r;
        if (r == -1) continue;
        // The state needs bytes: at an element's end that element is over, else wait for more.
        if (!atElementEnd || cursor != limit) return kNeedMore;
        FinishElements();
    }
}

// One state's work. Returns an event, -1 to go on, or -2 when the bytes up to the limit are used up.
int OscParser::Step(const uint8_t*& cursor, const uint8_t* limit) {
    switch (fState) {
        case kAddress: {
            const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(cursor, 0, size_t(limit - cursor)));
            if (!zero) {
                fAddress.append(reinterpret_cast<const char*>(cursor), size_t(limit - cursor));
                Skip(cursor, uint64_t(limit - cursor));
                return -2;
            }
            fAddress.append(reinterpret_cast<const char*>(cursor), size_t(zero - cursor));
            Skip(cursor, uint64_t(zero - cursor) + 1);
            fState = kAddressPad;
            return -1;
        }
        case kAddressPad:
            while (!Aligned()) {
                if (cursor == limit) return -2;
                Skip(cursor, 1);
            }
            if (fAddress == "#bundle") {
                fCollected = 0;
                fState = kBundleTime;
                return -1;
            }
            if (cursor == limit) return -2;
            if (*cursor != ',') {
                fState = kDone;
                return kBadMessage;
            }
            Skip(cursor, 1);
            fTags.clear();
            fState = kTags;
            return -1;
        case kTags: {
            const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(cursor, 0, size_t(limit - cursor)));
            const uint8_t* stop = zero ? zero : limit;
            fTags.append(reinterpret_cast<const char*>(cursor), size_t(stop - cursor));
            Skip(cursor, uint64_t(stop - cursor) + (zero ? 1 : 0));
            if (!zero) return -2;
            fState = kTagPad;
            return -1;
        }
        case kTagPad:
            while (!Aligned()) {
                if (cursor == limit) return -2;
                Skip(cursor, 1);
            }
            fNextTag = 0;
            fRemaining = 0;
            fCollected = 0;
            fState = kArgs;
            return kMessageStart;
        case kArgs:
            if (fCollected < fRemaining) {
                while (fCollected < fRemaining) {
                    if (cursor == limit) return -2;
                    fBytes[fCollected++] = *cursor;
                    Skip(cursor, 1);
                }
                if (fTag == 'b') {
                    fRemaining = plat::LoadBE32(fBytes);
                    fState = kBlobData;
                } else {
                    fRemaining = 0;
                    fCollected = 0;
                }
                return kArgument;
            }
            if (fNextTag >= fTags.size()) {
                fState = kDone;
                return kMessageEnd;
            }
            fTag = uint8_t(fTags[fNextTag++]);
            switch (fTag) {
                case 'F':
                case 'I':
                case 'N':
                case 'T':
                    return kArgument;
                case 'b':
                case 'f':
                case 'i':
                    fRemaining = 4;
                    fCollected = 0;
                    return -1;
                case 't':
                    fRemaining = 8;
                    fCollected = 0;
                    return -1;
                case 's':
                    fState = kString;
                    return kArgument;
                default:
                    fState = kDone;
                    return kBadMessage;
            }
        case kString: {
            const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(cursor, 0, size_t(limit - cursor)));
            if (!zero) {
                Skip(cursor, uint64_t(limit - cursor));
                return -2;
            }
            Skip(cursor, uint64_t(zero - cursor) + 1);
            fState = kArgPad;
            return -1;
        }
        case kBlobData: {
            uint64_t n = uint64_t(limit - cursor);
            if (n > fRemaining) n = fRemaining;
            Skip(cursor, n);
            fRemaining -= n;
            if (fRemaining) return -2;
            fState = kArgPad;
            return -1;
        }
        case kArgPad:
            while (!Aligned()) {
                if (cursor == limit) return -2;
                Skip(cursor, 1);
            }
            fRemaining = 0;
            fCollected = 0;
            fState = kArgs;
            return -1;
        case kDone:
            Skip(cursor, uint64_t(limit - cursor));
            return -2;
        case kBundleTime:
            while (fCollected < 8) {
                if (cursor == limit) return -2;
                fBytes[fCollected++] = *cursor;
                Skip(cursor, 1);
            }
            if (fElementEnd != 0) {
                if (fEnclosingEnds.size() >= kMaxDepth) {
                    fState = kDone;
                    return kBadMessage;
                }
                fEnclosingEnds.push_back(fElementEnd);
            } else {
                fBundleTimeTag = plat::LoadBE64(fBytes);
            }
            fCollected = 0;
            fState = kElementSize;
            return kBundle;
        case kElementSize: {
            while (fCollected < 4) {
                if (cursor == limit) return -2;
                fBytes[fCollected++] = *cursor;
                Skip(cursor, 1);
            }
            uint64_t elementEnd = fPosition + plat::LoadBE32(fBytes);
            if (fElementEnd == 0 || elementEnd < fElementEnd) fElementEnd = elementEnd;
            fCollected = 0;
            fAddress.clear();
            fTags.clear();
            fState = kAddress;
            return -1;
        }
    }
    return kNeedMore;
}
