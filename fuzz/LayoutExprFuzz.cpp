// Evaluates arbitrary bytes as a layout description over three fake panes.
#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "tests/Lib3/LSources/CoreUI/FakeLayoutPanes.h"

namespace {

// Three panes, the second hidden, with distinct preferred sizes.
FakeLayoutPanes MakePanes() {
    return FakeLayoutPanes({{{}, true, 10, 7}, {{}, false, 20, 14}, {{}, true, 30, 21}});
}

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
    FakeLayoutPanes panes = MakePanes();
    LLayoutDesc desc(&panes);
    desc.SetStepLimit(5000);
    desc.LayoutRect() = {0, 0, 100, 50};
    desc.Evaluate(text);
    desc.Evaluate(text);
    return 0;
}
