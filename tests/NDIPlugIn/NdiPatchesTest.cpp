#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "NDIPlugIn/NdiPatches.h"
#include "tests/NDIPlugIn/NdiStandInHooks.h"

namespace {

using StandIn = NdiStandInHooks;

class BufferSource final : public plat::PlugInImageSource {
public:
    BufferSource(uint32_t w, uint32_t h) : width(w), height(h), pixels(size_t(w) * h * 4) {
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 7 + i / 256);
    }
    plat::PlugInRect Bounds() const override { return {0, 0, double(width), double(height)}; }
    bool LockTexture(plat::PlugInTextureInfo&) override { return false; }
    void UnlockTexture() override {}
    bool BindTexture(plat::PlugInGLContext*, uint32_t, bool) override { return false; }
    void UnbindTexture(plat::PlugInGLContext*, uint32_t) override {}
    bool LockBuffer(plat::PlugInBufferInfo& out) override {
        out = {pixels.data(), size_t(width) * 4, width, height};
        return true;
    }
    void UnlockBuffer() override {}
    uint32_t width, height;
    std::vector<uint8_t> pixels;
};

class FakePorts final : public plat::PlugInPorts {
public:
    bool BoolInput(const char*) const override { return false; }
    uint32_t IndexInput(const char*) const override { return 0; }
    double NumberInput(const char*) const override { return 0; }
    const char* StringInput(const char* key) const override {
        auto it = strings.find(key);
        return it == strings.end() ? nullptr : it->second.c_str();
    }
    bool ColorInput(const char*, plat::PlugInColor&) const override { return false; }
    const plat::PlugInStructure* StructureInput(const char*) const override { return nullptr; }
    plat::PlugInImageSource* ImageInput(const char*) override { return image; }
    bool InputChanged(const char* key) const override { return changed.count(key) > 0; }
    void SetBoolOutput(const char*, bool) override {}
    void SetIndexOutput(const char*, uint32_t) override {}
    void SetNumberOutput(const char*, double) override {}
    void SetStringOutput(const char*, const char*) override {}
    void SetColorOutput(const char*, const plat::PlugInColor*) override {}
    void SetStructureOutput(const char* key, const plat::PlugInStructure* value) override {
        structures[key] = value ? std::optional(*value) : std::nullopt;
    }
    void SetImageOutput(const char* key, std::unique_ptr<plat::PlugInImageProvider> provider) override {
        ++imageSets;
        images[key] = std::move(provider);
    }
    std::map<std::string, std::string> strings;
    std::set<std::string> changed;
    plat::PlugInImageSource* image = nullptr;
    std::map<std::string, std::optional<plat::PlugInStructure>> structures;
    std::map<std::string, std::unique_ptr<plat::PlugInImageProvider>> images;
    int imageSets = 0;
};

class NullContext final : public plat::PlugInContext {
public:
    plat::PlugInGLContext* GLContext() const override { return nullptr; }
    plat::PlugInGLPixelFormat* PixelFormat() const override { return nullptr; }
    plat::PlugInGLContext* CreateSharingContext() override { return nullptr; }
    void DestroyContext(plat::PlugInGLContext*) override {}
    bool MakeCurrent(plat::PlugInGLContext*) override { return false; }
    plat::PlugInGLContext* CurrentContext() const override { return nullptr; }
    plat::PlugInValue UserInfo(const char*) const override { return {}; }
    void SetUserInfo(const char*, const plat::PlugInValue&) override {}
};

class NdiPatchesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(standIn.handle, nullptr) << dlerror();
        setenv("ORBILUME_NDI_LIBRARY", NDI_STANDIN_PATH, 1);
        standIn.Reset();
    }
    void TearDown() override { unsetenv("ORBILUME_NDI_LIBRARY"); }
    bool Run(plat::PlugInPatch& patch, FakePorts& ports) {
        bool ok = patch.Execute(context, 0, ports, arguments);
        ports.changed.clear();
        return ok;
    }
    StandIn standIn;
    NullContext context;
    plat::PlugInStructure arguments;
};

// What a receiver makes of the frames is checked with GL in NdiGLTest.
TEST_F(NdiPatchesTest, SenderSendsOnlyWhenAnInputChanged) {
    BufferSource image(64, 32);
    NDISendPlugIn sender;
    FakePorts send;
    send.strings["inputName"] = "Stage";
    send.image = &image;
    send.changed = {"inputName", "inputImage"};
    ASSERT_TRUE(Run(sender, send));
    EXPECT_EQ(standIn.Sends("Stage"), 1);
    ASSERT_TRUE(Run(sender, send));
    EXPECT_EQ(standIn.Sends("Stage"), 1);
    send.changed = {"inputImage"};
    ASSERT_TRUE(Run(sender, send));
    EXPECT_EQ(standIn.Sends("Stage"), 2);
}

TEST_F(NdiPatchesTest, ReceiverWithoutAGLContextDropsFramesAndStillRuns) {
    NDIRcvPlugIn receiver;
    EXPECT_TRUE(receiver.Start(context));
    FakePorts rcv;
    rcv.strings["inputName"] = "Cam";
    ASSERT_TRUE(Run(receiver, rcv));
    standIn.Publish("Cam", ndi::kFourCCBGRA, 2, 2, 8, std::vector<uint8_t>(16, 9));
    ASSERT_TRUE(Run(receiver, rcv));
    EXPECT_FALSE(rcv.images["outputImage"]);
    receiver.Stop(context);
}

TEST_F(NdiPatchesTest, FinderListsSendersThenNothing) {
    NDIFindPlugIn finder;
    FakePorts find;
    {
        NDISendPlugIn sender;
        FakePorts send;
        send.strings["inputName"] = "Projector";
        send.changed = {"inputName"};
        ASSERT_TRUE(Run(sender, send));
        ASSERT_TRUE(Run(finder, find));
        ASSERT_TRUE(find.structures["outputNames"]);
        ASSERT_EQ(find.structures["outputNames"]->Count(), 1u);
        EXPECT_EQ(find.structures["outputNames"]->ValueAt(0).StringValue(), "Projector");
    }
    ASSERT_TRUE(Run(finder, find));
    ASSERT_TRUE(find.structures["outputNames"]);
    EXPECT_EQ(find.structures["outputNames"]->Count(), 0u);
}

TEST_F(NdiPatchesTest, FailedCreationIsRetriedAtMostOnceASecond) {
    standIn.FailCreate(true);
    BufferSource image(4, 4);
    NDISendPlugIn sender;
    FakePorts send;
    send.strings["inputName"] = "Late";
    send.image = &image;
    send.changed = {"inputName", "inputImage"};
    ASSERT_TRUE(Run(sender, send));
    standIn.FailCreate(false);
    send.changed = {"inputImage"};
    ASSERT_TRUE(Run(sender, send));
    EXPECT_EQ(standIn.Sends("Late"), 0);  // within the second: not retried
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_TRUE(Run(sender, send));
    EXPECT_EQ(standIn.Sends("Late"), 1);
}

TEST_F(NdiPatchesTest, WithoutTheLibraryAllRunAndOutputNothing) {
    setenv("ORBILUME_NDI_LIBRARY", "/nonexistent/libndi.so.5", 1);
    BufferSource image(4, 4);
    NDIFindPlugIn finder;
    NDISendPlugIn sender;
    NDIRcvPlugIn receiver;
    FakePorts ports;
    ports.strings["inputName"] = "X";
    ports.image = &image;
    ports.changed = {"inputName", "inputImage"};
    EXPECT_TRUE(finder.Execute(context, 0, ports, arguments));
    EXPECT_TRUE(sender.Execute(context, 0, ports, arguments));
    EXPECT_TRUE(receiver.Execute(context, 0, ports, arguments));
    EXPECT_TRUE(ports.structures.empty());
    EXPECT_EQ(ports.imageSets, 0);
}

}  // namespace
