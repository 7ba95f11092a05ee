// Text pasted from other programs: cleaned for one-line and multi-line fields, its UTF-16 ranges
// mapped both ways, then edited in a text view (moves, deletions, undo) by grapheme cluster.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Platform/AppKit/TextRanges.h"
#include "Platform/AppKit/TextView.h"
#include "Platform/Foundation/TextEncoding.h"

// fontconfig and Pango keep process-wide caches that are never freed.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango-1.0.so\nleak:libpangoft2-1.0.so\nleak:libpangocairo-1.0."
           "so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4000) return 0;
    const std::string raw(reinterpret_cast<const char*>(data), size);
    for (bool singleLine : {true, false}) {
        const std::string clean = plat::SanitizeText(raw, singleLine);
        if (!plat::IsValidUtf8(clean) || clean.find('\0') != std::string::npos) std::abort();
        if (singleLine && clean.find_first_of("\r\n") != std::string::npos) std::abort();
        const size_t units = plat::Utf16Length(clean);
        for (size_t u = 0; u <= units + 1; ++u) {
            const size_t bytes = plat::Utf8OffsetForUtf16(clean, u);
            if (bytes > clean.size() || plat::Utf16OffsetForUtf8(clean, bytes) > u) std::abort();
        }
        const plat::TextRange r = plat::ClipRange({size_t(-1) - size, size_t(-1)}, units);
        if (r.End() > units) std::abort();
    }
    if (size > 600) return 0;
    plat::Ref<plat::TextView> view = plat::TextView::Create({0, 0, 200, 100});
    view->SetString(raw);
    static const char* const selectors[] = {"moveRight:", "moveWordRight:", "deleteBackward:",
                                            "moveDown:",  "deleteForward:", "moveLeftAndModifySelection:",
                                            "undo:",      "redo:"};
    view->SetSelectedRange({size % 7, size % 3});
    for (size_t i = 0; i < 12; ++i) {
        (void)view->PerformSelector(selectors[(i + size) % 8]);
        const plat::TextRange sel = view->SelectedRange();
        if (sel.End() > view->Length()) std::abort();
    }
    view->InsertText(raw.substr(0, 40));
    if (!plat::IsValidUtf8(view->String())) std::abort();
    return 0;
}
