#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Platform/Foundation/URLOpener.h"
#include "tests/support/TempDir.h"

namespace {

TEST(URLOpenerTest, StartsTheOpenerProgramWithTheUrl) {
    testsupport::TempDir dir;
    std::string script = dir.File("opener");
    dir.Write("opener", "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.url\"\n");
    chmod(script.c_str(), 0755);
    plat::SetURLOpenerProgram(script);

    const std::string url = "http://127.0.0.1:8080/a b?q=$(touch x)&r='1'";
    EXPECT_TRUE(plat::OpenURL(url));
    // The opener runs in the background.
    std::string seen;
    for (int i = 0; i < 200 && seen != url; ++i) {
        usleep(10000);
        seen = dir.Read("opener.url");
    }
    EXPECT_EQ(seen, url);
    // Texts the program would take for options never reach it.
    for (const char* bad : {"", "--help", "-x http://127.0.0.1/"}) EXPECT_FALSE(plat::OpenURL(bad)) << bad;

    plat::SetURLOpenerProgram(dir.File("no-such-opener"));
    EXPECT_FALSE(plat::OpenURL(url));
    plat::SetURLOpenerProgram("");
}

TEST(URLOpenerTest, AFunctionReplacesTheProgram) {
    std::string seen;
    plat::SetURLOpenerFunction(
        [](const std::string& url, void* context) {
            *static_cast<std::string*>(context) = url;
            return true;
        },
        &seen);
    EXPECT_TRUE(plat::OpenURL("mailto:someone@example.invalid"));
    EXPECT_EQ(seen, "mailto:someone@example.invalid");
    plat::SetURLOpenerFunction(nullptr, nullptr);
}

}  // namespace
