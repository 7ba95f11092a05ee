#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Orbilume/CSources/Engine/CMediaCache.h"
#include "Orbilume/CSources/Engine/CMediaImage.h"
#include "Orbilume/CSources/Engine/CMediaLoader.h"
#include "Orbilume/CSources/Engine/CMediaModel.h"
#include "Platform/Composer/BufferImage.h"
#include "tests/Orbilume/CSources/Engine/MediaTestSupport.h"
#include "tests/support/FakeClock.h"
#include "tests/support/TempDir.h"

using namespace mediatest;

namespace {

std::string Name(const LFsSpec& spec) {
    const LString path = CMacFileU::PathFromLFsSpec(spec);
    const std::string full(path.CStr(), path.Length());
    return full.substr(full.rfind('/') + 1);
}

class MediaCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteSolidPNG(dir.File("a.png"), 8, 4, 0xFF0000FF));
        ASSERT_TRUE(WriteSolidPNG(dir.File("c.png"), 4, 8, 0x00FF00FF));
    }

    // The entry's loaded names and kinds, in load order.
    std::vector<std::string> Loaded(uint32_t id) {
        std::vector<std::string> out;
        CMediaEntry* e = cache->FindEntry(id);
        if (!e) return out;
        for (const SMediaRef& r : e->loaded) out.push_back(Name(r.name) + ":" + std::to_string(r.Kind()));
        return out;
    }
    bool Idle() { return !loader.Busy() && loader.QueuedCount() == 0; }

    testsupport::TempDir dir;
    CMediaLoader loader;
    MediaShow show{dir.File("show.obm")};
    std::unique_ptr<CMediaCache> cache = std::make_unique<CMediaCache>(&show.doc, nullptr, &loader);
};

TEST_F(MediaCacheTest, SceneClipsLoadOneAtATimeInSceneOrderAndSpecialNamesAreSkipped) {
    testsupport::FakeClock clock;
    uint32_t owner = 0;
    const uint32_t id = show.AddMediaLayer(&owner);
    ASSERT_NE(id, 0u);
    cache->AddEntry(id);
    for (const char* clip : {".videoinput2", ".localtap", ".colorfill", ".mixbuffer", ".videoinput"})
        show.AddScene(owner, clip);
    show.AddScene(owner, show.Stored(dir.File("a.png")));
    show.AddScene(owner, show.Stored(dir.File("missing.mov")));
    show.AddScene(owner, show.Stored(dir.File("a.png")));
    show.AddScene(owner, show.Stored(dir.File("c.png")));
    clock.AdvanceMs(1000);
    FireTimers();
    CMediaEntry* entry = cache->FindEntry(id);
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry->pending.size(), 3u);  // special names and the repeat are not wanted
    // One request is out at a time.
    EXPECT_EQ(loader.QueuedCount(), 1u);
    std::vector<size_t> seen;
    ASSERT_TRUE(Pump([&] {
        EXPECT_LE(loader.QueuedCount() + (loader.Busy() ? 1 : 0), 1u);
        return Loaded(id).size() == 3 && Idle();
    }));
    // A file that does not load is a record without a medium (kind 0).
    EXPECT_EQ(Loaded(id), (std::vector<std::string>{"a.png:1", "missing.mov:0", "c.png:1"}));
    EXPECT_TRUE(entry->pending.empty());
}

TEST_F(MediaCacheTest, ABurstOfSceneEditsRefreshesOnceAThousandMsAfterTheLast) {
    testsupport::FakeClock clock;
    uint32_t owner = 0;
    const uint32_t id = show.AddMediaLayer(&owner);
    cache->AddEntry(id);
    clock.AdvanceMs(1000);
    FireTimers();
    EXPECT_FALSE(cache->RefreshPending());
    for (int i = 0; i < 3; ++i) {
        show.AddScene(owner, show.Stored(dir.File("a.png")));
        EXPECT_TRUE(cache->RefreshPending());
        clock.AdvanceMs(400);
        FireTimers();
    }
    EXPECT_TRUE(cache->FindEntry(id)->pending.empty());
    clock.AdvanceMs(599);
    FireTimers();
    EXPECT_TRUE(cache->RefreshPending());
    EXPECT_EQ(loader.QueuedCount(), 0u);
    clock.AdvanceMs(1);
    FireTimers();
    EXPECT_FALSE(cache->RefreshPending());
    EXPECT_EQ(cache->FindEntry(id)->pending.size(), 1u);
    EXPECT_EQ(loader.QueuedCount(), 1u);
    ASSERT_TRUE(Pump([&] { return Idle(); }));
}

TEST_F(MediaCacheTest, TwoUnitsOnOneStillShareItAndDeletingOneKeepsItForTheOther) {
    const uint32_t first = show.AddMediaLayer();
    const uint32_t second = show.AddMediaLayer();
    cache->AddEntry(first);
    cache->AddEntry(second);
    const int32_t registered = CMediaImage::RegisteredCount();
    const LFsSpec png = Spec(dir.File("a.png"));
    EXPECT_EQ(cache->SetMedia(first, png), 0);
    EXPECT_EQ(cache->SetMedia(second, png), 0);
    ASSERT_TRUE(Pump([&] { return Idle(); }));
    EXPECT_EQ(CMediaImage::RegisteredCount(), registered + 1);
    // The units reload: now served at once.
    EXPECT_EQ(cache->SetMedia(first, png), 1);
    EXPECT_EQ(cache->SetMedia(second, png), 1);
    CMediaImage* shared = cache->FindEntry(first)->current.image.get();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(cache->FindEntry(second)->current.image.get(), shared);
    EXPECT_TRUE(cache->FindEntry(second)->imageSource.HasImage());
    cache->RemoveEntry(first);
    EXPECT_EQ(cache->FindEntry(first), nullptr);
    EXPECT_EQ(cache->FindEntry(second)->current.image.get(), shared);
    EXPECT_EQ(CMediaImage::RegisteredCount(), registered + 1);
    EXPECT_EQ(shared->Image()->Width(), 8u);
    // Another unit asking later is served from the registry without the loader thread.
    const uint32_t third = show.AddMediaLayer();
    cache->AddEntry(third);
    EXPECT_EQ(cache->SetMedia(third, png), 0);
    ASSERT_TRUE(Pump([&] { return cache->SetMedia(third, png) == 1; }));
    EXPECT_EQ(cache->FindEntry(third)->current.image.get(), shared);
    cache.reset();
    EXPECT_EQ(CMediaImage::RegisteredCount(), registered);
}

TEST_F(MediaCacheTest, SetMediaWithAnEmptySpecClearsAtOnce) {
    const uint32_t id = show.AddMediaLayer();
    cache->AddEntry(id);
    EXPECT_EQ(cache->SetMedia(id + 100, Spec(dir.File("a.png"))), 1);  // no entry: nothing done
    EXPECT_EQ(loader.QueuedCount(), 0u);
    EXPECT_EQ(cache->SetMedia(id, Spec(dir.File("a.png"))), 0);
    ASSERT_TRUE(Pump([&] { return Idle(); }));
    EXPECT_EQ(cache->SetMedia(id, Spec(dir.File("a.png"))), 1);
    EXPECT_TRUE(cache->FindEntry(id)->imageSource.HasImage());
    cache->FindEntry(id)->shown = true;
    EXPECT_EQ(cache->SetMedia(id, LFsSpec()), 1);
    CMediaEntry* entry = cache->FindEntry(id);
    EXPECT_EQ(entry->current.Kind(), kMediaNone);
    EXPECT_FALSE(entry->imageSource.HasImage());
    EXPECT_FALSE(entry->shown);
}

TEST_F(MediaCacheTest, AModelFileIsReadWhateverTheCaseOfItsExtension) {
    const char* dae =
        "\xEF\xBB\xBF<?xml version=\"1.0\"?><COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" "
        "version=\"1.4.1\"><asset><up_axis>Y_UP</up_axis></asset><library_visual_scenes><visual_scene "
        "id=\"s\"><node id=\"n\"/></visual_scene></library_visual_scenes><scene><instance_visual_scene "
        "url=\"#s\"/></scene></COLLADA>";
    {
        std::ofstream(dir.File("m.DAE")) << dae;
        std::ofstream(dir.File("bad.dae")) << "<COLLADA";
    }
    const uint32_t id = show.AddMediaLayer();
    const uint32_t other = show.AddMediaLayer();
    cache->AddEntry(id);
    cache->AddEntry(other);
    EXPECT_EQ(cache->SetMedia(id, Spec(dir.File("m.DAE"))), 0);
    EXPECT_EQ(cache->SetMedia(other, Spec(dir.File("bad.dae"))), 0);
    ASSERT_TRUE(Pump([&] { return Idle(); }));
    EXPECT_EQ(Loaded(id), (std::vector<std::string>{"m.DAE:3"}));
    EXPECT_EQ(Loaded(other), (std::vector<std::string>{"bad.dae:0"}));
    EXPECT_NE(CMediaModel::Find(Spec(dir.File("m.DAE"))), nullptr);
    cache.reset();
    EXPECT_EQ(CMediaModel::Find(Spec(dir.File("m.DAE"))), nullptr);
}

TEST_F(MediaCacheTest, AStillIsFittedOnTheLoaderAndShownOnceItArrives) {
    const uint32_t id = show.AddMediaLayer();
    cache->AddEntry(id);
    const LFsSpec png = Spec(dir.File("a.png"));  // 8 x 4
    (void)cache->SetMedia(id, png);
    ASSERT_TRUE(Pump([&] { return Idle(); }));
    ASSERT_EQ(cache->SetMedia(id, png), 1);
    CImageSource& source = cache->FindEntry(id)->imageSource;
    plat::Ref<plat::Image> out;
    auto get = [&] {
        std::lock_guard<std::mutex> lock(cache->Lock());
        return source.GetImage(out);
    };
    // Into a box it fits: the image itself, once.
    source.SetBox(16, 16, false);
    EXPECT_TRUE(get());
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->Width(), 8u);
    EXPECT_FALSE(get());
    EXPECT_EQ(out, nullptr);
    // Smaller: nothing until the loader's copy arrives, then that copy once.
    source.SetBox(4, 4, false);
    EXPECT_FALSE(get());
    EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(source.FitPending());
    ASSERT_TRUE(Pump([&] {
        (void)get();
        return out != nullptr;
    }));
    EXPECT_EQ(out->Width(), 4u);
    EXPECT_EQ(out->Height(), 2u);
    (void)get();
    EXPECT_EQ(out, nullptr);
    // With "Stretch" in a larger box, one side is lengthened to the box's aspect.
    source.SetBox(32, 32, true);
    ASSERT_TRUE(Pump([&] {
        (void)get();
        return out != nullptr;
    }));
    EXPECT_EQ(out->Width(), 8u);
    EXPECT_EQ(out->Height(), 8u);
}

// The render thread fetches while fitted copies arrive on the main thread (run under
// ThreadSanitizer too): both sides go through the cache lock.
TEST_F(MediaCacheTest, FitsArriveWhileTheRenderThreadFetches) {
    const uint32_t id = show.AddMediaLayer();
    cache->AddEntry(id);
    const LFsSpec png = Spec(dir.File("a.png"));
    (void)cache->SetMedia(id, png);
    ASSERT_TRUE(Pump([&] { return Idle(); }));
    ASSERT_EQ(cache->SetMedia(id, png), 1);
    std::atomic<bool> stop{false};
    std::atomic<int> pushed{0};
    // The box moves on after each fit, or after half a second without one, so a loaded machine
    // still sees every fit through.
    std::thread render([&] {
        uint32_t side = 2;
        auto since = std::chrono::steady_clock::now();
        while (!stop.load()) {
            bool fitted = false;
            {
                std::lock_guard<std::mutex> lock(cache->Lock());
                CMediaEntry* entry = cache->FindEntry(id);
                entry->imageSource.SetBox(side, side, false);
                plat::Ref<plat::Image> out;
                (void)entry->imageSource.GetImage(out);
                fitted = bool(out);
            }
            const auto now = std::chrono::steady_clock::now();
            if (fitted) ++pushed;
            if (fitted || now - since > std::chrono::milliseconds(500)) {
                side = 2 + (side - 1) % 4;
                since = now;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const bool ok = Pump([&] { return pushed.load() >= 10; });
    stop.store(true);
    render.join();
    EXPECT_TRUE(ok) << pushed.load();
}

TEST_F(MediaCacheTest, ABoxChangedWhileAFitIsOnItsWayGetsAFitOfItsOwn) {
    const uint32_t id = show.AddMediaLayer();
    cache->AddEntry(id);
    const LFsSpec png = Spec(dir.File("a.png"));
    (void)cache->SetMedia(id, png);
    ASSERT_TRUE(Pump([&] { return Idle(); }));
    ASSERT_EQ(cache->SetMedia(id, png), 1);
    auto fetch = [&](uint32_t side) {
        std::lock_guard<std::mutex> lock(cache->Lock());
        CImageSource& source = cache->FindEntry(id)->imageSource;
        source.SetBox(side, side, false);
        plat::Ref<plat::Image> out;
        (void)source.GetImage(out);
        return out;
    };
    (void)fetch(3);  // a fit for 3 x 3 goes out
    (void)fetch(5);  // and the box changes before it is back
    plat::Ref<plat::Image> fitted;
    ASSERT_TRUE(Pump([&] { return bool(fitted = fetch(5)); }));
    EXPECT_EQ(fitted->Width(), 5u);
}

// A movie whose status never resolves keeps the loader thread busy for the bound of its wait.
int32_t NeverReady(const CAVMovie*) {
    return CAVMovie::kPending;
}

TEST_F(MediaCacheTest, ClosingWithLoadsQueuedRunningAndAFitPendingCallsNobody) {
    const LFsSpec png = Spec(dir.File("a.png"));
    const uint32_t still = show.AddMediaLayer();
    cache->AddEntry(still);
    (void)cache->SetMedia(still, png);
    ASSERT_TRUE(Pump([&] { return Idle(); }));
    ASSERT_EQ(cache->SetMedia(still, png), 1);

    CAVMovie::SetPrepareTimeoutMs(300);
    CAVMovie::SetStatusReaderForTest(&NeverReady);
    std::vector<uint32_t> ids;
    for (int i = 0; i < 3; ++i) {
        ids.push_back(show.AddMediaLayer());
        cache->AddEntry(ids.back());
        ASSERT_TRUE(WriteSolidPNG(dir.File("slow" + std::to_string(i) + ".png"), 2, 2, 0xFFFFFFFF));
        EXPECT_EQ(cache->SetMedia(ids.back(), Spec(dir.File("slow" + std::to_string(i) + ".png"))), 0);
    }
    ASSERT_TRUE(Pump([&] { return loader.Busy(); }));  // one on the thread, two queued
    EXPECT_EQ(loader.QueuedCount(), 2u);
    {
        CImageSource& source = cache->FindEntry(still)->imageSource;
        source.SetBox(2, 2, false);
        plat::Ref<plat::Image> out;
        std::lock_guard<std::mutex> lock(cache->Lock());
        (void)source.GetImage(out);
        EXPECT_TRUE(source.FitPending());
    }
    cache.reset();
    // Everything still travels through both threads and ends without reaching the freed cache.
    ASSERT_TRUE(Pump([&] { return Idle(); }));
    CAVMovie::SetStatusReaderForTest(nullptr);
    CAVMovie::SetPrepareTimeoutMs(CAVMovie::kPrepareTimeoutMs);
}

// What a caller of the loader saw.
struct Calls {
    std::atomic<int> loads{0};
    static void OnLoaded(void* self, const SMediaRef&, int32_t) { ++static_cast<Calls*>(self)->loads; }
};

TEST(MediaLoaderTest, CancelReachesRequestsStillInTheQueue) {
    testsupport::TempDir dir;
    ASSERT_TRUE(WriteSolidPNG(dir.File("x.png"), 2, 2, 0xFFFFFFFF));
    CMediaLoader loader;
    Calls kept, cancelled;
    for (int i = 0; i < 3; ++i) {
        loader.PostLoad(&cancelled, &Calls::OnLoaded, Spec(dir.File("x" + std::to_string(i) + ".png")));
        loader.PostLoad(&kept, &Calls::OnLoaded, Spec(dir.File("y" + std::to_string(i) + ".png")));
    }
    EXPECT_EQ(loader.QueuedCount(), 6u);
    loader.Cancel(&cancelled, nullptr);
    ASSERT_TRUE(Pump([&] { return !loader.Busy() && loader.QueuedCount() == 0 && kept.loads == 3; }));
    EXPECT_EQ(cancelled.loads.load(), 0);
}

TEST(MediaRegistryTest, LookUpsRaceLastReleasesOnOtherThreads) {
    plat::Ref<plat::BufferImage> pixels = plat::BufferImage::Create(2, 2);
    const LFsSpec name = Spec("/nonexistent/race.png");
    std::atomic<bool> stop{false};
    std::thread other([&] {
        while (!stop.load()) {
            plat::Ref<CMediaImage> made = CMediaImage::Create(name, pixels.get());
            std::this_thread::yield();
        }
    });
    int found = 0;
    for (int i = 0; i < 20000; ++i) {
        if (plat::Ref<CMediaImage> image = CMediaImage::Find(name)) {
            ++found;
            EXPECT_EQ(image->File(), name);
        }
    }
    stop.store(true);
    other.join();
    EXPECT_EQ(CMediaImage::Find(name), nullptr);
    (void)found;
}

}  // namespace
