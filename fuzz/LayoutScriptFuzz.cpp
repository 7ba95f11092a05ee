// Compiles arbitrary bytes as a layout script, whole and as the three parts of a window layout
// (split at NUL bytes), and runs what compiled over three fake panes.
#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreUI/CLayoutScriptSource.h"
#include "Lib3/LSources/CoreUI/LLayoutProgram.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "tests/Lib3/LSources/CoreUI/FakeLayoutPanes.h"

namespace {

// Three panes, the second hidden, with distinct preferred sizes.
FakeLayoutPanes MakePanes() {
    return FakeLayoutPanes({{{}, true, 10, 7}, {{}, false, 20, 14}, {{}, true, 30, 21}});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1u << 16) return 0;
    FakeLayoutPanes panes = MakePanes();
    {
        LLayoutProgram program;
        program.SetStepLimit(50000);
        LCStrCharIn input(data, uint32_t(size));
        CLayoutScriptSource source(input);
        program.Compile(source);
        int32_t result = 0;
        const int32_t args[] = {1, 2, 3};
        program.RunWith(&panes, "", 0, nullptr, result);
        program.RunWith(&panes, "f", 3, args, result);
    }

    LLayoutParts parts;
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == 0) {
            parts.Append(LString(reinterpret_cast<const char*>(data) + start, uint32_t(i - start)));
            start = i + 1;
        }
    }
    LLayoutParts prelude;
    prelude.Append("");
    prelude.Append("k = 8; m#($0 + k);\n");
    LLayoutProgram program;
    program.SetStepLimit(50000);
    if (program.Build(prelude, parts)) {
        program.RunPref(&panes);
        program.RunLayo(&panes);
        int32_t height = -32768;
        const int32_t kind = 40;
        program.RunWith(&panes, "PREFH", 1, &kind, height);
    }
    return 0;
}
