// The file panel on a folder of 10,000 entries, first drawn (listed through its filter, sorted in
// collation order, the list filled and the window drawn), beside a bare readdir + stat of the same
// folder measured in the same run ("ratio_to_readdir_stat", target at most 3).
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Common/ObjC/CMacWindowMgr.h"
#include "Common/ObjC/MFilePanel.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"

namespace {

constexpr int kEntries = 10000;

struct Folder {
    Folder() {
        char tmpl[] = "/tmp/orbilume-filepanel-XXXXXX";
        path = ::mkdtemp(tmpl);
        for (int i = 0; i < kEntries; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, i % 10 == 0 ? "/Folder %05d" : "/show %05d.obs",
                          (i * 7919) % kEntries);
            const std::string p = path + name;
            if (i % 10 == 0)
                (void)::mkdir(p.c_str(), 0755);
            else if (FILE* f = std::fopen(p.c_str(), "w"))
                std::fclose(f);
        }
    }
    ~Folder() {
        const std::string cmd = "rm -rf '" + path + "'";
        (void)std::system(cmd.c_str());
    }
    std::string path;
};

const Folder& TheFolder() {
    static Folder folder;
    return folder;
}

// The peer: what listing a folder costs at least.
size_t ReaddirStat(const std::string& folder) {
    size_t n = 0;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    std::string path = folder + "/";
    const size_t base = path.size();
    while (dirent* d = ::readdir(dir)) {
        path.resize(base);
        path += d->d_name;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) ++n;
    }
    ::closedir(dir);
    return n;
}

struct Session {
    Session() {
        previous = plat::CurrentBackend();
        (void)backend.ConfigureScreens("1440x900+0+0/25");
        plat::SetBackend(&backend);
    }
    ~Session() { plat::SetBackend(previous); }
    plat::headless::HeadlessBackend backend;
    plat::Backend* previous;
    CMacWindowMgr mgr;
};

struct Upper : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is("LPane_Defer") || msg.Is("LPane_ReqFocus") || msg.Is("LFrame_Place") ||
            msg.Is("LFrame_Activate") || msg.Is("LFrame_Deactivate") || msg.Is("LHandler_Mode"))
            return LMessage();
        return LHandler::Handle(msg);
    }
};

double PanelFirstDraw(const std::string& folder, size_t* rows) {
    Upper upper;
    const auto t0 = std::chrono::steady_clock::now();
    {
        MFilePanel panel(&upper, MFilePanelBase::kOpenPanel);
        panel.Begin(folder, "");
        panel.Window()->NativeWindow()->Display();
        *rows = panel.Entries().size();
        panel.End();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_FilePanelFirstDraw(benchmark::State& state) {
    const std::string folder = TheFolder().path;
    Session session;
    double panel = 0, peer = 0;
    size_t rows = 0, listed = 0;
    for (auto _ : state) {
        panel += PanelFirstDraw(folder, &rows);
        const auto t0 = std::chrono::steady_clock::now();
        listed = ReaddirStat(folder);
        benchmark::DoNotOptimize(listed);
        peer += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    state.counters["rows"] = double(rows);
    state.counters["panel_ms"] = panel * 1000.0 / double(state.iterations());
    state.counters["readdir_stat_ms"] = peer * 1000.0 / double(state.iterations());
    state.counters["ratio_to_readdir_stat"] = peer > 0 ? panel / peer : 0;
}
BENCHMARK(BM_FilePanelFirstDraw)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
