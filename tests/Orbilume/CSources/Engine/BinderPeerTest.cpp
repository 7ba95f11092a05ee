#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Osc/OscServer.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"
#include "tests/support/CommandOutput.h"

// oscsend, on loopback inside the test's own namespace, drives a bound output-adjustment input
// through the OSC server and the hub.
namespace {

using T = CDocModelTypes;

void Put(CRecord* set, const char* key, const char* value) {
    CParamSet::SetString(CRecordRef(&set), nullptr, LString(key), LString(value));
}

TEST(BinderPeer, OscsendDrivesABoundInput) {
    if (testsupport::CommandOutput("command -v oscsend 2>/dev/null").empty())
        GTEST_SKIP() << "oscsend is not installed (Debian liblo-tools)";
    nettest::MainLoop main;
    CAppPrefs prefs;
    CRecord* unit = prefs.Root()->GetSubRecord(CAppPrefs::kPrefOutAdjUnit);
    ASSERT_NE(unit, nullptr);
    CRecord* input = CRecord::New(T::Type(T::kINPT));
    input->StringSlot(T::kInptKey) = LString("zoom");
    ASSERT_TRUE(CRecordRef(&unit).InsertRecord(nullptr, T::kUnitInputs, 0, input));
    CCtlInHub hub;
    CCtlInDocBinder binder(unit, &hub);
    binder.AddRange(LString("zoom"), 0, 10);
    CRecord* ctrl = unit->GetElement(T::kUnitInputs, 0)->GetSubRecord(T::kInptCtl);
    Put(ctrl, "type", "osc");
    Put(ctrl, "oscadr", "/out/zoom");
    OscServer server(&hub);
    ASSERT_EQ(server.Open(0, nettest::kLoopback), 0);
    const std::string port = std::to_string(server.LocalPort());
    const CRecord* bound = unit->GetElement(T::kUnitInputs, 0);
    ASSERT_EQ(std::system(("oscsend 127.0.0.1 " + port + " /out/zoom f 0.25").c_str()), 0);
    ASSERT_TRUE(main.RunUntil([&] { return bound->GetString(T::kInptValue) == "0.25"; }));
    Put(ctrl, "range", "1");
    // Every type tag reaches the binder; only numbers it can read change the value.
    ASSERT_EQ(std::system(("oscsend 127.0.0.1 " + port + " /out/zoom sTN x").c_str()), 0);
    ASSERT_EQ(std::system(("oscsend 127.0.0.1 " + port + " /out/zoom f 0.5").c_str()), 0);
    ASSERT_TRUE(main.RunUntil([&] { return bound->GetString(T::kInptValue) == "5"; }));
}

}  // namespace
