#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LCharIn.h"

class CStream;

// Character input over a stream that skips a leading UTF-8 byte-order mark. Make it while the
// stream is at the start of the text.
class CBomTextStream : public LCharIn {
public:
    explicit CBomTextStream(CStream& stream);

    bool Get(unsigned char& c) override;
    void Unget() override;
    uint32_t Get(unsigned char* bytes, uint32_t n) override;

private:
    CStream& fStream;
};
