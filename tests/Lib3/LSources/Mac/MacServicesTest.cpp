#include <gtest/gtest.h>

#include <cstring>

#include "Lib3/LSources/Mac/CIOObjectH.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Lib3/LSources/Mac/UAppleEvent.h"
#include "Lib3/LSources/Mac/UDisplay.h"
#include "Lib3/LSources/Mac/UMacSys.h"
#include "Lib3/LSources/String/CAsciiString.h"
#include "Platform/AppKit/Bell.h"
#include "Platform/AppKit/DisplayList.h"
#include "Platform/USB/IORegistry.h"
#include "tests/support/HeadlessScreens.h"

namespace {

TEST(UDisplayTest, FollowsTheBackendsScreens) {
    testsupport::HeadlessScreens screens("1440x900+0+0/25;1920x1080+1440+0");
    EXPECT_EQ(UDisplay::MainDisplayID(), 1u);
    EXPECT_EQ(UDisplay::DisplayID(0), 1u);
    EXPECT_EQ(UDisplay::DisplayID(1), 2u);
    EXPECT_EQ(UDisplay::DisplayID(2), 0u);
    EXPECT_EQ(UDisplay::Bounds(2), (CLRect{1440, 0, 3360, 1080}));
    EXPECT_EQ(UDisplay::Bounds(3), CLRect{});

    screens.Backend().SetScreens({plat::headless::HeadlessBackend::MakeScreen(1, {0, 0, 1440, 900}, 25)});
    EXPECT_EQ(UDisplay::DisplayID(1), 2u);  // not refreshed until index 0 is asked
    EXPECT_EQ(UDisplay::DisplayID(0), 1u);
    EXPECT_EQ(UDisplay::DisplayID(1), 0u);

    UDisplay::SetFullScreenMode(1);
    EXPECT_EQ(plat::DisplayList::PresentationMode(), 3u);
    UDisplay::SetFullScreenMode(0);
    EXPECT_EQ(plat::DisplayList::PresentationMode(), 0u);
}

TEST(UMacSysTest, BeepRingsTheBell) {
    const uint32_t before = plat::Bell::RingCount();
    UMacSys::Beep();
    EXPECT_EQ(plat::Bell::RingCount(), before + 1);
}

plat::OSErr Echo(const plat::AEDesc& event, plat::AEDesc* reply, void*) {
    plat::AEDesc value;
    const plat::OSErr err =
        plat::AppleEvents::GetParamDesc(event, plat::kKeyDirectObject, plat::FourCC("TEXT"), value);
    if (err) return err;
    if (reply) {
        const plat::OSErr put = plat::AppleEvents::PutParamDesc(*reply, plat::kKeyDirectObject, value);
        if (put) return put;
    }
    return plat::kNoErr;
}

int gIdleRuns = 0;
void CountIdle() {
    ++gIdleRuns;
}

TEST(UAppleEventTest, TheIdleRoutineRunsOnlyWhileAReplyIsAwaited) {
    const uint32_t cls = plat::FourCC("test"), id = plat::FourCC("idle");
    plat::AppleEvents::InstallHandler(cls, id, Echo, nullptr);
    plat::AEDesc event;
    ASSERT_EQ(UAppleEvent::Create(event, plat::CurrentProcessAddress(), cls, id), plat::kNoErr);
    ASSERT_EQ(UAppleEvent::PutParamPtr(event, plat::kKeyDirectObject, plat::FourCC("TEXT"), "x", 1),
              plat::kNoErr);
    gIdleRuns = 0;
    UAppleEvent::SetIdleRoutine(CountIdle);
    plat::AEDesc reply;
    EXPECT_EQ(UAppleEvent::Send(event, &reply, UAppleEvent::kNoTimeOut), plat::kNoErr);
    EXPECT_EQ(UAppleEvent::Send(event, nullptr, 60), plat::kNoErr);
    EXPECT_EQ(gIdleRuns, 1);
    // Null puts the framework's wait routine back; a send still waits and answers.
    UAppleEvent::SetIdleRoutine(nullptr);
    EXPECT_EQ(UAppleEvent::Send(event, &reply, UAppleEvent::kNoTimeOut), plat::kNoErr);
    EXPECT_EQ(gIdleRuns, 1);
    plat::AppleEvents::RemoveHandler(cls, id);
}

TEST(UAppleEventTest, InProcessEventsAndCleanFailureElsewhere) {
    const uint32_t cls = plat::FourCC("test"), id = plat::FourCC("echo");
    plat::AppleEvents::InstallHandler(cls, id, Echo, nullptr);
    plat::AEDesc event;
    ASSERT_EQ(UAppleEvent::Create(event, plat::CurrentProcessAddress(), cls, id), plat::kNoErr);
    ASSERT_EQ(UAppleEvent::PutParamPtr(event, plat::kKeyDirectObject, plat::FourCC("TEXT"), "hello", 5),
              plat::kNoErr);

    plat::AEDesc list;
    ASSERT_EQ(UAppleEvent::GetParamList(event, plat::kKeyDirectObject, list), plat::kNoErr);
    EXPECT_EQ(list.type, plat::kTypeList);
    EXPECT_EQ(list.items.size(), 1u);

    plat::AEDesc reply;
    ASSERT_EQ(UAppleEvent::Send(event, &reply, UAppleEvent::kNoTimeOut), plat::kNoErr);
    char buf[3];
    uint32_t size = sizeof buf;
    plat::DescType type = plat::FourCC("TEXT");
    EXPECT_EQ(UAppleEvent::GetParamPtr(reply, plat::kKeyDirectObject, type, buf, size), plat::kNoErr);
    EXPECT_EQ(size, 3u);  // cut to the buffer
    EXPECT_EQ(std::memcmp(buf, "hel", 3), 0);

    size = sizeof buf;
    EXPECT_NE(UAppleEvent::GetParamPtr(reply, plat::FourCC("none"), type, buf, size), plat::kNoErr);
    EXPECT_EQ(size, 0u);

    plat::AEDesc other;
    other.type = plat::kTypeApplicationBundleID;
    other.data.assign({'m', 'u', 's'});
    plat::AEDesc toMusic;
    UAppleEvent::Create(toMusic, other, cls, id);
    EXPECT_EQ(UAppleEvent::Send(toMusic, &reply, 60), plat::kErrProcNotFound);
    plat::AppleEvents::RemoveHandler(cls, id);
    EXPECT_EQ(UAppleEvent::Send(event, nullptr, 60), plat::kErrAEEventNotHandled);
}

TEST(CIOObjectHTest, HoldersBalanceReferences) {
    const uint32_t live = plat::IORegistry::LiveCount();
    const uint32_t a = plat::IORegistry::AddDevice(0x0AD5, 0x0004);
    const uint32_t b = plat::IORegistry::AddDevice(0x0AD5, 0x0004);
    const uint32_t other = plat::IORegistry::AddDevice(0x1234, 0x0001);
    {
        CIOObjectH h(a);
        CIOObjectH copy = h;
        copy = b;  // b keeps the reference AddDevice gave
    }
    EXPECT_EQ(plat::IORegistry::LiveCount(), live + 2);  // a went with its holder

    const plat::MatchingDict* dict = new plat::MatchingDict(0x0AD5, 0x0004);
    {
        CIOIterator it(dict);
        EXPECT_EQ(dict->RetainCount(), 1);  // the lookup consumed only the extra reference
        const uint32_t found = it.Next();
        EXPECT_EQ(found, b);
        plat::IORegistry::Release(found);
        it.Drain();
        EXPECT_EQ(it.Next(), 0u);
    }
    dict->Release();
    plat::IORegistry::Release(b);
    plat::IORegistry::Release(other);
    EXPECT_EQ(plat::IORegistry::LiveCount(), live);
}

TEST(LScrapDataTest, FlavorsHoldCopies) {
    LScrapData scrap;
    char bytes[] = "abc";
    ASSERT_TRUE(scrap.AddFlavor(LString("public.data"), 0x59554E44, bytes, 3, 1));
    ASSERT_TRUE(scrap.AddFlavor(LString(), 0x54455854, nullptr, 0, 0));
    EXPECT_FALSE(scrap.AddFlavor(LString(), 0, nullptr, 4, 0));
    bytes[0] = 'x';
    const LScrapFlavor* first = static_cast<const LScrapFlavor*>(scrap.Items().First());
    EXPECT_EQ(first->typeName, "public.data");
    EXPECT_EQ(first->size, 3u);
    EXPECT_EQ(std::memcmp(first->bytes, "abc", 3), 0);
    EXPECT_EQ(scrap.Items().Count(), 2u);
}

TEST(CAsciiStringTest, NeverNull) {
    EXPECT_STREQ(CAsciiString(LString()).Text(), "");
    EXPECT_STREQ(CAsciiString(static_cast<const char*>(nullptr)).Text(), "");
    const CAsciiString s(LString("kept"));
    EXPECT_EQ(s.Length(), 4u);
    EXPECT_STREQ(s.Text(), "kept");
    EXPECT_EQ(CAsciiString("abc").Length(), 3u);
}

}  // namespace
