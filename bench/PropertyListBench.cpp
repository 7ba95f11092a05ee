// Property-list reading and writing beside raw libplist on the same bytes. Each iteration times our
// call and the peer's call back to back, in CPU time of the thread; the counters give both times per
// iteration, their ratio (ours / libplist) and our time per element, which stays flat when reading
// is linear.
#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "Platform/Foundation/PropertyList.h"

namespace {

// CPU time of this thread, so that other work on a shared machine does not count.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// A composition-like list: a dictionary of a few keys and an array of `elements` items, every
// fourth a small dictionary, the others strings, integers and reals.
plat::Value MakeList(int elements) {
    plat::ValueArray items;
    items.reserve(static_cast<size_t>(elements));
    for (int i = 0; i < elements; ++i) {
        switch (i % 4) {
            case 0: {
                plat::Dictionary d;
                d.Set("key", plat::Value("node_" + std::to_string(i)));
                d.Set("index", plat::Value(i));
                items.emplace_back(std::move(d));
                break;
            }
            case 1:
                items.emplace_back("input port " + std::to_string(i));
                break;
            case 2:
                items.emplace_back(static_cast<int64_t>(i) * 7919);
                break;
            default:
                items.emplace_back(i * 0.25);
                break;
        }
    }
    plat::Dictionary root;
    root.Set("frameworkVersion", plat::Value("154.0"));
    root.Set("editable", plat::Value(true));
    root.Set("nodes", plat::Value(std::move(items)));
    return plat::Value(std::move(root));
}

struct Sample {
    double ours = 0, peer = 0;
};

void Report(benchmark::State& state, const Sample& s, int elements) {
    double n = static_cast<double>(state.iterations());
    state.counters["ours_us"] = s.ours / n * 1e6;
    state.counters["peer_us"] = s.peer / n * 1e6;
    state.counters["ratio"] = s.peer > 0 ? s.ours / s.peer : 0;
    state.counters["ours_ns_per_element"] = s.ours / n * 1e9 / elements;
}

double Seconds(double a, double b) {
    return b - a;
}

void Read(benchmark::State& state, plat::PropertyListFormat format) {
    const int elements = static_cast<int>(state.range(0));
    plat::ByteArray bytes;
    if (!plat::WritePropertyList(MakeList(elements), format, bytes)) {
        state.SkipWithError("cannot write the list");
        return;
    }
    const char* chars = reinterpret_cast<const char*>(bytes.data());
    const auto size = static_cast<uint32_t>(bytes.size());
    Sample s;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        {
            plat::Value v;
            if (!plat::ReadPropertyList(bytes.data(), bytes.size(), v)) state.SkipWithError("read failed");
            benchmark::DoNotOptimize(v);
        }
        const double t1 = ThreadSeconds();
        {
            plist_t root = nullptr;
            if (format == plat::PropertyListFormat::Binary)
                plist_from_bin(chars, size, &root);
            else
                plist_from_xml(chars, size, &root);
            benchmark::DoNotOptimize(root);
            plist_free(root);
        }
        const double t2 = ThreadSeconds();
        s.ours += Seconds(t0, t1);
        s.peer += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t2));
    }
    Report(state, s, elements);
    state.counters["bytes"] = static_cast<double>(bytes.size());
}

void Write(benchmark::State& state, plat::PropertyListFormat format) {
    const int elements = static_cast<int>(state.range(0));
    const plat::Value list = MakeList(elements);
    // The peer writes the same tree, held in its own form.
    plat::ByteArray binary;
    plist_t tree = nullptr;
    if (plat::WritePropertyList(list, plat::PropertyListFormat::Binary, binary))
        plist_from_bin(reinterpret_cast<const char*>(binary.data()), static_cast<uint32_t>(binary.size()),
                       &tree);
    if (!tree) {
        state.SkipWithError("libplist cannot read the list");
        return;
    }
    Sample s;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        {
            plat::ByteArray out;
            if (!plat::WritePropertyList(list, format, out)) state.SkipWithError("write failed");
            benchmark::DoNotOptimize(out.data());
        }
        const double t1 = ThreadSeconds();
        {
            char* out = nullptr;
            uint32_t length = 0;
            if (format == plat::PropertyListFormat::Binary) {
                plist_to_bin(tree, &out, &length);
                benchmark::DoNotOptimize(out);
                plist_to_bin_free(out);
            } else {
                plist_to_xml(tree, &out, &length);
                benchmark::DoNotOptimize(out);
                plist_to_xml_free(out);
            }
        }
        const double t2 = ThreadSeconds();
        s.ours += Seconds(t0, t1);
        s.peer += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t2));
    }
    plist_free(tree);
    Report(state, s, elements);
}

void BM_PropertyListReadBinary(benchmark::State& state) {
    Read(state, plat::PropertyListFormat::Binary);
}
void BM_PropertyListReadXml(benchmark::State& state) {
    Read(state, plat::PropertyListFormat::Xml);
}
void BM_PropertyListWriteBinary(benchmark::State& state) {
    Write(state, plat::PropertyListFormat::Binary);
}
void BM_PropertyListWriteXml(benchmark::State& state) {
    Write(state, plat::PropertyListFormat::Xml);
}

#define PLIST_SIZES Arg(500)->Arg(4000)->Arg(16000)->UseManualTime()->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_PropertyListReadBinary)->PLIST_SIZES;
BENCHMARK(BM_PropertyListReadXml)->PLIST_SIZES;
BENCHMARK(BM_PropertyListWriteBinary)->PLIST_SIZES;
BENCHMARK(BM_PropertyListWriteXml)->PLIST_SIZES;
#undef PLIST_SIZES

}  // namespace
