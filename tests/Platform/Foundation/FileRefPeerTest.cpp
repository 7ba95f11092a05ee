#include <gtest/gtest.h>

#include <string>

#include "Platform/Foundation/FileRef.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

namespace {

// Python's URL parser reads our file URLs back to the same path, for every byte but NUL and "/".
TEST(FileRefPeerTest, PythonDecodesOurFileURLs) {
    std::string name;
    for (int b = 1; b < 256; ++b)
        if (b != '/') name += char(b);
    const std::string path = "/dir/" + name;
    const plat::URL url = plat::URL::FileURLWithPath(path);
    testsupport::TempDir dir;
    dir.Write("url", url.String());
    const std::string decoded = testsupport::CommandOutput(
        "python3 -c 'import sys,urllib.parse as u;"
        "sys.stdout.buffer.write(u.unquote_to_bytes(u.urlsplit(open(sys.argv[1]).read()).path))' " +
        dir.File("url"));
    EXPECT_EQ(decoded, path);
    EXPECT_EQ(url.Path(), path);
}

}  // namespace
