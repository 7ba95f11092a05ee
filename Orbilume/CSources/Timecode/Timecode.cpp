#include "Orbilume/CSources/Timecode/Timecode.h"

namespace {
constexpr uint64_t kSecondsPerDay = 86400;
// Larger field values than any time of day needs; keeps Parse's arithmetic far from overflow.
constexpr uint64_t kMaxParsedField = 1000000;

// The code whose fields a text is read in: 29 reads as 30.
uint32_t ScratchCode(uint32_t code) {
    return (code == 1 || code == 24 || code == 25 || code == 30 || code == 100) ? code : 30;
}
}  // namespace

uint32_t Timecode::FramesPerSecond(uint32_t code) {
    switch (code) {
        case 1:
        case 24:
        case 25:
        case 100:
            return code;
        default:
            return 30;
    }
}

void Timecode::Init(uint32_t rateCode) {
    code = rateCode;
    hours = minutes = seconds = frames = 0;
}

void Timecode::Set(uint8_t h, uint8_t m, uint8_t s, uint8_t f) {
    hours = h;
    minutes = m;
    seconds = s;
    frames = f;
}

bool Timecode::Equals(const Timecode& other) const {
    return code == other.code && hours == other.hours && minutes == other.minutes &&
           seconds == other.seconds && frames == other.frames;
}

uint32_t Timecode::ToCount(uint32_t u) const {
    // Unsigned 32-bit arithmetic throughout, as stored counts were always computed.
    uint32_t fps = Fps();
    uint32_t f = (fps / 2 + uint32_t(frames) * u) / fps;
    uint32_t w = ((uint32_t(minutes) % 10) * 60 + seconds) * u + f;
    uint32_t base = (uint32_t(hours) * 3600 + (uint32_t(minutes) / 10) * 600) * u;
    if (code != 29) return base + w;
    uint32_t w2 = w - (uint32_t(minutes) % 10) * u * 2 / 30;
    return base + w2 + w2 / 1000;
}

void Timecode::FromCount(uint32_t count, uint32_t u) {
    if (u == 0) {
        hours = minutes = seconds = frames = 0;
        return;
    }
    // 64 bits: a day of units and the drop-frame scaling overflow 32 bits for wide units.
    uint64_t fps = Fps();
    uint64_t units = u;
    uint64_t t = (units / (2 * fps) + count) % (units * kSecondsPerDay);
    uint64_t block = t / (units * 600);
    uint64_t r = t % (units * 600);
    hours = uint8_t((block / 6) % 24);
    uint64_t tens = (block % 6) * 10;
    if (code != 29) {
        uint64_t s = r / units;
        seconds = uint8_t(s % 60);
        minutes = uint8_t(tens + s / 60);
        frames = uint8_t(fps * (r % units) / units);
        return;
    }
    uint64_t n = ((r * 1000 / 1001) * 30) / units;
    if (n < 1800) {
        minutes = uint8_t(tens);
        seconds = uint8_t(n / 30);
        frames = uint8_t(n % 30);
        return;
    }
    uint64_t n2 = n - 1800;
    minutes = uint8_t(tens + 1 + n2 / 1798);
    uint64_t q = n2 % 1798 + 2;
    seconds = uint8_t(q / 30);
    frames = uint8_t(q % 30);
}

void Timecode::SetRate(uint32_t rateCode) {
    if (rateCode == code) return;
    uint32_t ms = ToCount(1000);
    code = rateCode;
    FromCount(ms, 1000);
}

std::string Timecode::Format() const {
    auto put = [](std::string& out, unsigned v) {
        if (v < 10) out += '0';
        out += std::to_string(v);
    };
    std::string out;
    out.reserve(12);
    put(out, hours);
    out += ':';
    put(out, minutes);
    out += ':';
    put(out, seconds);
    if (code != 1) {
        out += code == 100 ? '.' : ':';
        put(out, frames);
    }
    return out;
}

uint64_t Timecode::ParseMilliseconds(std::string_view text, uint32_t rateCode, int* sign) {
    size_t i = 0;
    if (sign) *sign = 1;
    if (!text.empty() && text[0] == '-') {
        if (sign) *sign = -1;
        i = 1;
    }
    uint64_t fields[4] = {0, 0, 0, 0};
    size_t field = 0;
    for (; i < text.size() && field < 4; ++i) {
        char c = text[i];
        // Format writes "." before the hundredths of code 100: read it back as a separator.
        if (c == ':' || (c == '.' && rateCode == 100)) {
            ++field;
        } else if (c >= '0' && c <= '9') {
            uint64_t v = fields[field] * 10 + uint64_t(c - '0');
            fields[field] = v > kMaxParsedField ? kMaxParsedField : v;
        }
    }
    const uint64_t rate = FramesPerSecond(ScratchCode(rateCode));
    return (fields[0] * 3600 + fields[1] * 60 + fields[2]) * 1000 + fields[3] * 1000 / rate;
}

int Timecode::Parse(std::string_view text) {
    int sign = 1;
    const uint64_t ms = ParseMilliseconds(text, code, &sign);
    Timecode scratch;
    scratch.Init(ScratchCode(code));
    scratch.FromCount(uint32_t(ms % (kSecondsPerDay * 1000)), 1000);
    Set(scratch.hours, scratch.minutes, scratch.seconds, scratch.frames);
    if (code == 29 && seconds == 0 && minutes % 10 != 0 && frames <= 2) frames = 2;
    return sign;
}
