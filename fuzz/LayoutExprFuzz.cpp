// Evaluates arbitrary bytes as a layout description over three fake panes.
#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreUI/LLayoutDesc.h"

namespace {

class Panes : public LLayoutPanes {
public:
    uint32_t CountPanes() const override { return 3; }
    SLayoutRect PaneBounds(uint32_t n) const override { return fBounds[n - 1]; }
    void SetPaneBounds(uint32_t n, const SLayoutRect& r) override { fBounds[n - 1] = r; }
    bool PaneVisible(uint32_t n) const override { return n != 2; }
    int32_t PanePreferredWidth(uint32_t n, int32_t extent) override {
        return extent > 0 ? extent : int32_t(n) * 10;
    }
    int32_t PanePreferredHeight(uint32_t n, int32_t extent) override {
        return extent > 0 ? extent : int32_t(n) * 7;
    }

private:
    SLayoutRect fBounds[3];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 16) return 0;
    // The first input also becomes the prelude, once.
    static bool preluded = false;
    const LString text(reinterpret_cast<const unsigned char*>(data), uint32_t(size));
    if (!preluded) {
        LLayoutDesc::InstallPrelude("k=8\nm#%0+k#\n");
        preluded = true;
    }
    Panes panes;
    LLayoutDesc desc(&panes);
    desc.SetStepLimit(5000);
    desc.LayoutRect() = {0, 0, 100, 50};
    desc.Evaluate(text);
    desc.Evaluate(text);
    return 0;
}
