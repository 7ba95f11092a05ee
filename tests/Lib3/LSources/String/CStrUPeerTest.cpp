#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Lib3/LSources/String/CStrU.h"

namespace {

// Python's mac_roman codec follows the platform's own table, private-use Apple logo included.
TEST(CStrUPeerTest, LegacyConversionMatchesPythonMacRoman) {
    FILE* pipe = popen(
        "/usr/bin/python3 -c \"import sys; "
        "sys.stdout.buffer.write(bytes(range(1, 256)).decode('mac_roman').encode('utf-8'))\"",
        "r");
    ASSERT_NE(pipe, nullptr);
    std::string expected;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) expected.append(buf, n);
    ASSERT_EQ(pclose(pipe), 0);

    char all[256];
    for (int i = 1; i < 256; ++i) all[i - 1] = static_cast<char>(i);
    all[255] = 0;
    const LString converted = CStrU::LStringFromCString(all, 255);
    EXPECT_EQ(std::string(converted.CStr(), converted.Length()), expected);
}

}  // namespace
