#pragma once

#include <cstdint>
#include <string>

#include "Platform/AppKit/Pasteboard.h"

namespace testsupport {

// The string type of the general pasteboard, emptied for each test.
class GeneralPasteboardText {
public:
    GeneralPasteboardText() { plat::Pasteboard::General()->ClearContents(); }
    ~GeneralPasteboardText() { plat::Pasteboard::General()->ClearContents(); }

    void WriteString(const std::string& text) {
        plat::Pasteboard* pb = plat::Pasteboard::General();
        pb->DeclareTypes({plat::Pasteboard::kTypeString}, nullptr);
        pb->SetString(text);
    }
    std::string Text() const {
        std::string out;
        if (!plat::Pasteboard::General()->StringForType(plat::Pasteboard::kTypeString, &out)) return "-";
        return out;
    }
    // With some text, or empty.
    void SetHas(bool has) {
        if (has)
            WriteString("clip");
        else
            plat::Pasteboard::General()->ClearContents();
    }
    // Changes since the last mark.
    void Mark() { fMark = plat::Pasteboard::General()->ChangeCount(); }
    int64_t Changes() const { return plat::Pasteboard::General()->ChangeCount() - fMark; }

private:
    int64_t fMark = 0;
};

}  // namespace testsupport
