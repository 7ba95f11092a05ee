#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Encodes straight-alpha RGBA pixels (rows of 4 * width bytes) as a PNG file, with extra chunks
// written before the image data.
struct TestChunk {
    std::string type;
    std::vector<uint8_t> data;
};
std::vector<uint8_t> EncodeTestPNG(int width, int height, const std::vector<uint8_t>& rgba,
                                   const std::vector<TestChunk>& chunks = {}, bool interlaced = false);

}  // namespace testsupport
