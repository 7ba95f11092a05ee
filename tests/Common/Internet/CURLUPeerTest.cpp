#include <gtest/gtest.h>

#include <string>

#include "Common/Internet/CURLU.h"
#include "tests/support/CommandOutput.h"

namespace {

using testsupport::CommandOutput;

// Each of the 256 bytes inside a segment, quoted by Python with our safe set. Python always keeps
// "~" (RFC 3986 unreserved); our segments encode it, so the reference spells it %7E.
TEST(CURLUPeerTest, EncodeAgreesWithPythonQuote) {
    std::string expected = CommandOutput(
        "python3 -c \"import urllib.parse\n"
        "for b in range(256):\n"
        "    print(urllib.parse.quote(b'x' + bytes([b]) + b'y', safe=\\\"!$'()*+,\\\").replace('~', "
        "'%7E'))\"");
    std::string ours;
    for (int b = 0; b < 256; ++b) {
        unsigned char seg[3] = {'x', static_cast<unsigned char>(b), 'y'};
        LString e = CURLU::Encode(seg, 3);
        ours += std::string(e.CStr(), e.Length()) + "\n";
    }
    EXPECT_EQ(ours, expected);
}

}  // namespace
