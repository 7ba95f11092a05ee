#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Platform/Preferences/Preferences.h"
#include "tests/support/TempDir.h"

// Preferences under a fresh $XDG_CONFIG_HOME, with the in-process values dropped before and after.
class PrefsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        hadConfig = old != nullptr;
        if (old) oldConfig = old;
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
        plat::Preferences::Reset();
    }
    void TearDown() override {
        plat::Preferences::Reset();
        if (hadConfig) {
            setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }
    std::string FileOf(const char* id) { return dir.Path() + "/orbilume/" + id + ".plist"; }

    testsupport::TempDir dir;
    bool hadConfig = false;
    std::string oldConfig;
};
