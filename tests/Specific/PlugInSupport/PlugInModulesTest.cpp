#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Platform/Composer/NodeClass.h"
#include "Platform/Composer/PlugInInterface.h"
#include "Platform/Composer/PlugInNodeClass.h"
#include "tests/support/PlugInFolder.h"

namespace {

// The output of a command, or empty when it does not run.
std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

constexpr const char* kModules[] = {"Dunmire", "Korrath", "Melquor", "NDIPlugIn", "Pelvane"};

TEST(PlugInModulesPeerTest, EachModuleExportsOnlyTheRegistrationFunction) {
    if (RunCommand("command -v nm").empty()) GTEST_SKIP() << "nm is not installed";
    for (const char* name : kModules) {
        SCOPED_TRACE(name);
        std::string path = testsupport::PlugInFolder() + "/" + name + ".so";
        std::string symbols = RunCommand("nm -D --defined-only '" + path + "' | awk '{print $3}'");
        EXPECT_EQ(symbols, "OrbilumeRegisterPlugIn\n");
    }
}

TEST(PlugInModulesTest, TheFolderRegistersEveryPatchClassWithItsModes) {
    size_t modules = 0;
    const plat::NodeClassRegistry& registry = testsupport::PlugInFolderRegistry(&modules);
    EXPECT_EQ(modules, std::size(kModules));
    struct Expected {
        const char* name;
        plat::PlugInExecutionMode mode;
        plat::PlugInTimeMode time;
        std::vector<std::string> ports;
    };
    const Expected expected[] = {
        {"Dunmire", plat::PlugInExecutionMode::Consumer, plat::PlugInTimeMode::None, {"inputImage"}},
        {"Korrath",
         plat::PlugInExecutionMode::Provider,
         plat::PlugInTimeMode::None,
         {"inputW", "inputH", "inputCmd", "outputImage"}},
        {"Melquor",
         plat::PlugInExecutionMode::Processor,
         plat::PlugInTimeMode::None,
         {"inputString", "inputFont", "inputSize", "inputLine", "inputWidth", "inputAlign", "inputVertical",
          "inputColor", "outputImage", "outputLines"}},
        {"NDIFind", plat::PlugInExecutionMode::Provider, plat::PlugInTimeMode::Idle, {"outputNames"}},
        {"NDISend",
         plat::PlugInExecutionMode::Processor,
         plat::PlugInTimeMode::None,
         {"inputName", "inputImage", "outputDrive"}},
        {"NDIRcv",
         plat::PlugInExecutionMode::Provider,
         plat::PlugInTimeMode::Idle,
         {"inputName", "outputImage"}},
        {"Pelvane",
         plat::PlugInExecutionMode::Provider,
         plat::PlugInTimeMode::TimeBase,
         {"inputW",    "inputH",   "inputJr",     "inputDt",  "inputKv",  "inputFgX", "inputFgY",
          "inputPxL",  "inputPxR", "inputPxB",    "inputPxT", "inputBcL", "inputBcR", "inputBcB",
          "inputBcT",  "inputPrL", "inputPrR",    "inputPrB", "inputPrT", "inputVlL", "inputVlR",
          "inputVlB",  "inputVlT", "inputFrcDim", "inputFoX", "inputFoY", "inputFmX", "inputFmY",
          "inputPrsM", "inputFrc", "inputObs",    "inputPrs", "outputU",  "outputP"}},
        {"VORed",
         plat::PlugInExecutionMode::Provider,
         plat::PlugInTimeMode::TimeBase,
         {"inputFrz", "inputStep", "inputW",   "inputH",    "inputJr",    "inputDt",     "inputR0",
          "inputR1",  "inputKv0",  "inputKv1", "inputSfc",  "inputFgX",   "inputFgY",    "inputPxL",
          "inputPxR", "inputPxB",  "inputPxT", "inputBcL",  "inputBcR",   "inputBcB",    "inputBcT",
          "inputPrL", "inputPrR",  "inputPrB", "inputPrT",  "inputVlL",   "inputVlR",    "inputVlB",
          "inputVlT", "inputPhL",  "inputPhR", "inputPhB",  "inputPhT",   "inputFrcDim", "inputFoX",
          "inputFoY", "inputFmX",  "inputFmY", "inputPrsM", "inputSetPh", "inputVc",     "inputFrc",
          "inputObs", "inputPrs",  "inputPhs", "outputU",   "outputP",    "outputD"}},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.name);
        const plat::NodeClass* found = registry.FindPatch(e.name);
        ASSERT_NE(found, nullptr);
        const auto* patch = static_cast<const plat::PlugInNodeClass*>(found);
        EXPECT_EQ(patch->Attributes()["maker"].StringValue(), "Orbilume");
        EXPECT_EQ(patch->Attributes()["name"].StringValue(), e.name);
        const plat::PlugInPatchClass& patchClass = patch->PatchClass();
        EXPECT_EQ(patchClass.ExecutionMode(), e.mode);
        EXPECT_EQ(patchClass.TimeMode(), e.time);
        std::vector<std::string> keys;
        for (const plat::PlugInPortDescription& port : patchClass.Ports()) keys.push_back(port.key);
        EXPECT_EQ(keys, e.ports);
    }
}

}  // namespace
