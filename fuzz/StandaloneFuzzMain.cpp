// Replays a corpus folder through LLVMFuzzerTestOneInput, then a bounded number of deterministic
// mutations of each entry (bit flips, truncations, splices, byte runs). Used where libFuzzer is absent.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;

void Run(const Bytes& b) { LLVMFuzzerTestOneInput(b.empty() ? nullptr : b.data(), b.size()); }

Bytes Mutate(const Bytes& in, const std::vector<Bytes>& corpus, std::mt19937& rng) {
    Bytes b = in;
    int steps = 1 + static_cast<int>(rng() % 4);
    for (int s = 0; s < steps; ++s) {
        switch (rng() % 6) {
            case 0:
                if (!b.empty()) b[rng() % b.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
                break;
            case 1:
                if (!b.empty()) b.resize(rng() % b.size());
                break;
            case 2: {
                const Bytes& other = corpus[rng() % corpus.size()];
                if (other.empty()) break;
                size_t from = rng() % other.size();
                size_t at = b.empty() ? 0 : rng() % b.size();
                b.insert(b.begin() + static_cast<long>(at), other.begin() + static_cast<long>(from), other.end());
                break;
            }
            case 3: {
                static const uint8_t special[] = {0, 0xFF, '<', '>', '"', '\'', '&', ';', '\r', '\n', '/', 0x80, 0xC0};
                size_t at = b.empty() ? 0 : rng() % (b.size() + 1);
                b.insert(b.begin() + static_cast<long>(at), rng() % 64 + 1, special[rng() % sizeof(special)]);
                break;
            }
            case 4:
                if (b.size() > 1) {
                    size_t a = rng() % b.size(), n = rng() % (b.size() - a);
                    b.erase(b.begin() + static_cast<long>(a), b.begin() + static_cast<long>(a + n));
                }
                break;
            default:
                if (!b.empty()) b[rng() % b.size()] = static_cast<uint8_t>(rng());
                break;
        }
    }
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Bytes> corpus;
    if (argc > 1 && std::filesystem::is_directory(argv[1])) {
        for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
            std::ifstream in(entry.path(), std::ios::binary);
            corpus.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    corpus.emplace_back();
    const char* env = std::getenv("FUZZ_MUTATIONS");
    long perEntry = env ? std::strtol(env, nullptr, 10) : 2000;
    std::mt19937 rng(12345);
    for (const Bytes& b : corpus) Run(b);
    for (const Bytes& b : corpus)
        for (long i = 0; i < perEntry; ++i) Run(Mutate(b, corpus, rng));
    std::printf("replayed %zu inputs and %ld mutations each\n", corpus.size(), perEntry);
    return 0;
}
