#include <gtest/gtest.h>

#include <vector>

#include "Lib3/LSources/Mac/HotKeyRegistry.h"
#include "tests/support/HeadlessScreens.h"

namespace {

constexpr uint32_t kF5 = 96;
constexpr uint32_t kFn = 0x20000;

struct Call {
    int who;
    uint32_t keyCode;
    uint32_t modifiers;
};

struct Recorder {
    std::vector<Call> calls;
};

struct Context {
    Recorder* rec;
    int who;
};

void Record(void* context, uint32_t keyCode, uint32_t modifiers) {
    auto* c = static_cast<Context*>(context);
    c->rec->calls.push_back({c->who, keyCode, modifiers});
}

class HotKeyRegistryTest : public ::testing::Test {
protected:
    plat::headless::HeadlessHotKeys& Keys() { return screens.Backend().HotKeyService(); }

    testsupport::HeadlessScreens screens;
    Recorder rec;
    Context a{&rec, 1};
    Context b{&rec, 2};
};

TEST_F(HotKeyRegistryTest, FunctionKeyTable) {
    const uint32_t codes[] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};
    for (int32_t i = 0; i < 12; ++i) {
        EXPECT_EQ(KeyCodeForFunctionKey(i), int32_t(codes[i])) << i;
        EXPECT_EQ(FunctionKeyForKeyCode(codes[i]), i) << i;
    }
    EXPECT_EQ(KeyCodeForFunctionKey(12), -1);
    EXPECT_EQ(KeyCodeForFunctionKey(-1), -1);
    EXPECT_EQ(FunctionKeyForKeyCode(122), 0);
    EXPECT_EQ(FunctionKeyForKeyCode(0), -1);
    EXPECT_EQ(FunctionKeyForKeyCode(123), -1);
}

TEST_F(HotKeyRegistryTest, TwoCallbacksOneRegistrationBothCalled) {
    HotKeyRegistry registry;
    ASSERT_TRUE(registry.Register(kF5, kFn, &a, &Record));
    ASSERT_TRUE(registry.Register(kF5, kFn, &b, &Record));
    EXPECT_FALSE(registry.Register(kF5, kFn, &b, &Record));  // the same pair again
    EXPECT_FALSE(registry.Register(kF5, kFn, &b, nullptr));
    EXPECT_EQ(Keys().RegisterCalls(), 1u);
    EXPECT_EQ(Keys().Registrations().size(), 1u);
    EXPECT_EQ(registry.EntryCount(), 1u);
    EXPECT_TRUE(registry.HasPressHandler());

    EXPECT_TRUE(Keys().PressHotKey(kF5, kFn));
    ASSERT_EQ(rec.calls.size(), 2u);
    EXPECT_EQ(rec.calls[0].who, 1);
    EXPECT_EQ(rec.calls[1].who, 2);
    for (const Call& c : rec.calls) {
        EXPECT_EQ(c.keyCode, kF5);
        EXPECT_EQ(c.modifiers, kFn);
    }
    registry.Unregister(kF5, kFn, &a, &Record);
    registry.Unregister(kF5, kFn, &b, &Record);
}

TEST_F(HotKeyRegistryTest, LastCallbackUnregistersLastKeyRemovesHandler) {
    HotKeyRegistry registry;
    ASSERT_TRUE(registry.Register(kF5, kFn, &a, &Record));
    ASSERT_TRUE(registry.Register(kF5, kFn, &b, &Record));
    ASSERT_TRUE(registry.Register(122, kFn, &a, &Record));
    EXPECT_EQ(Keys().Registrations().size(), 2u);
    EXPECT_EQ(Keys().PressHandlerCount(), 1u);

    registry.Unregister(kF5, kFn, &a, &Record);
    EXPECT_EQ(Keys().Registrations().size(), 2u);  // b still listens
    registry.Unregister(kF5, kFn, &b, &Record);
    EXPECT_EQ(Keys().Registrations().size(), 1u);
    EXPECT_FALSE(Keys().PressHotKey(kF5, kFn));
    EXPECT_TRUE(registry.HasPressHandler());

    registry.Unregister(122, kFn, &a, &Record);
    EXPECT_TRUE(Keys().Registrations().empty());
    EXPECT_EQ(registry.EntryCount(), 0u);
    EXPECT_FALSE(registry.HasPressHandler());
    EXPECT_EQ(Keys().PressHandlerCount(), 0u);
}

TEST_F(HotKeyRegistryTest, UnregisterAllTakesThePairFromEveryKey) {
    HotKeyRegistry registry;
    ASSERT_TRUE(registry.Register(kF5, 0, &a, &Record));
    ASSERT_TRUE(registry.Register(97, 0, &a, &Record));
    ASSERT_TRUE(registry.Register(97, 0, &b, &Record));
    registry.Unregister(0, 0, &a, &Record, true);
    EXPECT_EQ(registry.EntryCount(), 1u);
    EXPECT_TRUE(Keys().PressHotKey(97, 0));
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].who, 2);
    registry.Unregister(0, 0, &b, &Record, true);
    EXPECT_FALSE(registry.HasPressHandler());
}

TEST_F(HotKeyRegistryTest, ARefusalLeavesNothing) {
    HotKeyRegistry registry;
    Keys().RefuseNextRegistration();
    EXPECT_FALSE(registry.Register(kF5, 0, &a, &Record));
    EXPECT_EQ(registry.EntryCount(), 0u);
    EXPECT_FALSE(registry.HasPressHandler());
    EXPECT_TRUE(Keys().Registrations().empty());
    EXPECT_EQ(Keys().PressHandlerCount(), 0u);
    // The next try is a new registration.
    EXPECT_TRUE(registry.Register(kF5, 0, &a, &Record));
    registry.Unregister(kF5, 0, &a, &Record);
}

TEST_F(HotKeyRegistryTest, PressesOfOtherSignaturesOrUnknownIdsAreIgnored) {
    HotKeyRegistry registry;
    ASSERT_TRUE(registry.Register(kF5, 0, &a, &Record));
    const plat::HotKeyID id = Keys().Registrations()[0].id;
    EXPECT_EQ(id.signature, HotKeyRegistry::AppSignature());
    Keys().PressID({id.signature + 1, id.id});
    Keys().PressID({id.signature, id.id + 1000});
    EXPECT_TRUE(rec.calls.empty());
    Keys().PressID(id);
    EXPECT_EQ(rec.calls.size(), 1u);
    registry.Unregister(kF5, 0, &a, &Record);
}

TEST_F(HotKeyRegistryTest, IdsStayUniqueAcrossRegistrations) {
    HotKeyRegistry registry;
    ASSERT_TRUE(registry.Register(kF5, 0, &a, &Record));
    ASSERT_TRUE(registry.Register(97, 0, &a, &Record));
    registry.Unregister(kF5, 0, &a, &Record);
    ASSERT_TRUE(registry.Register(98, 0, &a, &Record));
    ASSERT_EQ(Keys().Registrations().size(), 2u);
    EXPECT_NE(Keys().Registrations()[0].id.id, Keys().Registrations()[1].id.id);
    registry.Unregister(0, 0, &a, &Record, true);
}

// A callback that removes its key's last callbacks deletes the entry during the press; the other
// callbacks of the press still get the key code and modifiers (under ASan: no read of the entry).
struct SelfRemover {
    HotKeyRegistry* registry;
    Recorder* rec;
    Context* other;
};

void RemoveAll(void* context, uint32_t keyCode, uint32_t modifiers) {
    auto* s = static_cast<SelfRemover*>(context);
    s->rec->calls.push_back({0, keyCode, modifiers});
    s->registry->Unregister(keyCode, modifiers, s, &RemoveAll);
    s->registry->Unregister(keyCode, modifiers, s->other, &Record);
}

TEST_F(HotKeyRegistryTest, ACallbackRemovingTheLastCallbacksLeavesTheRestOfThePressSound) {
    HotKeyRegistry registry;
    SelfRemover remover{&registry, &rec, &b};
    ASSERT_TRUE(registry.Register(kF5, kFn, &remover, &RemoveAll));
    ASSERT_TRUE(registry.Register(kF5, kFn, &b, &Record));
    EXPECT_TRUE(Keys().PressHotKey(kF5, kFn));
    ASSERT_EQ(rec.calls.size(), 2u);
    EXPECT_EQ(rec.calls[1].who, 2);
    EXPECT_EQ(rec.calls[1].keyCode, kF5);
    EXPECT_EQ(rec.calls[1].modifiers, kFn);
    EXPECT_EQ(registry.EntryCount(), 0u);
    EXPECT_FALSE(registry.HasPressHandler());
    EXPECT_TRUE(Keys().Registrations().empty());
}

TEST_F(HotKeyRegistryTest, TheRegistryGoingAwayUnregistersEverything) {
    {
        HotKeyRegistry registry;
        ASSERT_TRUE(registry.Register(kF5, 0, &a, &Record));
        ASSERT_TRUE(registry.Register(97, 0, &a, &Record));
    }
    EXPECT_TRUE(Keys().Registrations().empty());
    EXPECT_EQ(Keys().PressHandlerCount(), 0u);
}

TEST_F(HotKeyRegistryTest, WithoutHotKeysNothingRegisters) {
    plat::Backend* previous = plat::CurrentBackend();
    plat::SetBackend(nullptr);
    HotKeyRegistry registry;
    EXPECT_FALSE(registry.Register(kF5, 0, &a, &Record));
    EXPECT_EQ(registry.EntryCount(), 0u);
    plat::SetBackend(previous);
}

}  // namespace
