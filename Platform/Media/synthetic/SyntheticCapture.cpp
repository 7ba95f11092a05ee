#include "Platform/Media/synthetic/SyntheticCapture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace plat {

struct SyntheticCapture::Device {
    SyntheticDeviceSpec spec;
    std::atomic<bool> removed{false};
    // Streams of the device wait on this to learn of removal at once.
    std::mutex mutex;
    std::condition_variable changed;
};

namespace {

constexpr int kBits = 32;

void DrawFrame(PixelBuffer& buffer, uint32_t number) {
    uint8_t* base = buffer.BaseAddress();
    const int32_t w = buffer.Width(), h = buffer.Height();
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* row = base + size_t(y) * buffer.BytesPerRow();
        if (y >= SyntheticCapture::kBarBandRows) {
            std::memset(row, 0x80, size_t(w) * 4);
            for (int32_t x = 0; x < w; ++x) row[x * 4 + 3] = 255;
            continue;
        }
        for (int32_t x = 0; x < w; ++x) {
            const int bit = int(int64_t(x) * kBits / w);
            const uint8_t v = (number >> (kBits - 1 - bit)) & 1 ? 255 : 0;
            row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = v;
            row[x * 4 + 3] = 255;
        }
    }
}

class SyntheticStream final : public CaptureStream {
public:
    SyntheticStream(std::shared_ptr<SyntheticCapture::Device> device, CaptureCallbacks callbacks)
        : fDevice(std::move(device)), fCallbacks(std::move(callbacks)) {}
    ~SyntheticStream() override { Stop(); }

    bool Start() override {
        if (fThread.joinable()) return true;
        if (fDevice->removed) return false;
        fPool = PixelBufferPool::Create(fDevice->spec.width, fDevice->spec.height);
        if (!fPool) return false;
        fStop = false;
        fThread = std::thread([this] { Run(); });
        return true;
    }

    void Stop() override {
        if (!fThread.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(fDevice->mutex);
            fStop = true;
        }
        fDevice->changed.notify_all();
        fThread.join();
    }

private:
    void Run() {
        const auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::duration<double>(1.0 / fDevice->spec.fps));
        auto next = std::chrono::steady_clock::now();
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(fDevice->mutex);
                fDevice->changed.wait_until(lock, next, [&] { return fStop || fDevice->removed.load(); });
                if (fStop) return;
                if (fDevice->removed) break;
            }
            next += period;
            Ref<PixelBuffer> buffer = fPool->CreatePixelBuffer();
            if (!buffer || !buffer->Lock(0)) continue;
            DrawFrame(*buffer, ++fNumber);
            buffer->Unlock(0);
            if (fCallbacks.frame) fCallbacks.frame(std::move(buffer));
        }
        if (fCallbacks.gone) fCallbacks.gone();
    }

    std::shared_ptr<SyntheticCapture::Device> fDevice;
    CaptureCallbacks fCallbacks;
    Ref<PixelBufferPool> fPool;
    std::thread fThread;
    bool fStop = false;  // under the device's mutex
    uint32_t fNumber = 0;
};

}  // namespace

bool ParseSyntheticDeviceSpec(const std::string& text, SyntheticDeviceSpec& spec) {
    SyntheticDeviceSpec s;
    const size_t colon = text.rfind(':');
    s.name = text.substr(0, colon);
    if (colon != std::string::npos) {
        int w = 0, h = 0;
        double fps = 0;
        char tail = 0;
        if (std::sscanf(text.c_str() + colon + 1, "%dx%d@%lf%c", &w, &h, &fps, &tail) != 3) return false;
        if (w < 1 || h < 1 || w > 8192 || h > 8192 || !(fps >= 1 && fps <= 240)) return false;
        s.width = w, s.height = h, s.fps = fps;
    }
    if (s.name.empty()) return false;
    spec = s;
    return true;
}

SyntheticCapture::SyntheticCapture() = default;

SyntheticCapture::~SyntheticCapture() {
    for (const std::shared_ptr<Device>& d : fDevices) {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->removed = true;
        d->changed.notify_all();
    }
}

std::vector<CaptureDeviceInfo> SyntheticCapture::Devices() {
    std::vector<CaptureDeviceInfo> devices;
    for (const std::shared_ptr<Device>& d : fDevices) devices.push_back({d->spec.name, d->spec.kinds});
    return devices;
}

std::unique_ptr<CaptureStream> SyntheticCapture::Open(size_t index, CaptureCallbacks callbacks) {
    if (index >= fDevices.size()) return nullptr;
    return std::make_unique<SyntheticStream>(fDevices[index], std::move(callbacks));
}

void SyntheticCapture::AddDevice(const SyntheticDeviceSpec& spec) {
    auto device = std::make_shared<Device>();
    device->spec = spec;
    if (!(device->spec.fps >= 1)) device->spec.fps = 1;
    fDevices.push_back(std::move(device));
    if (onChange) onChange(true);
}

bool SyntheticCapture::RemoveDevice(const std::string& name) {
    for (auto it = fDevices.begin(); it != fDevices.end(); ++it) {
        if ((*it)->spec.name != name) continue;
        {
            std::lock_guard<std::mutex> lock((*it)->mutex);
            (*it)->removed = true;
        }
        (*it)->changed.notify_all();
        fDevices.erase(it);
        if (onChange) onChange(false);
        return true;
    }
    return false;
}

uint32_t SyntheticCapture::ReadBars(const uint8_t* bgra, size_t bytesPerRow, int32_t width, int32_t height) {
    if (!bgra || width < kBits || height < 1) return 0;
    const uint8_t* row = bgra + size_t(std::min(height, kBarBandRows) / 2) * bytesPerRow;
    uint32_t n = 0;
    for (int bit = 0; bit < kBits; ++bit) {
        // The middle of the bar.
        const int32_t x = int32_t((int64_t(bit) * 2 + 1) * width / (2 * kBits));
        n = n << 1 | (row[x * 4 + 1] >= 128 ? 1u : 0u);
    }
    return n;
}

}  // namespace plat
