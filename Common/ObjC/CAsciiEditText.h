#pragma once

#include <cstdint>

#include "Common/ObjC/LEditText.h"
#include "Platform/AppKit/InputSource.h"
#include "Platform/Foundation/Object.h"

namespace plat {
class Window;
}

// An edit text that selects an ASCII-capable keyboard input source while it holds the focus and
// gives the user's source back afterwards (and when destroyed). Main thread only.
class CAsciiEditText : public LEditText {
public:
    CAsciiEditText(LPane* owner, uint32_t mode, uint32_t options);
    ~CAsciiEditText() override;

    void StateChanged(uint32_t op) override;
    bool IsSwitched() const { return fSwitched; }

private:
    void Switch();
    void Restore();

    plat::Window* fWindow;  // taken at construction, not used afterwards
    bool fSwitched = false;
    plat::Ref<plat::InputSource> fSaved;
};
