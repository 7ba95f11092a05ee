#include "tests/support/NestedLoopGuard.h"

#include <gtest/gtest.h>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Event.h"
#include "Platform/Foundation/Clock.h"

namespace testsupport {

NestedLoopGuard::NestedLoopGuard(double seconds) {
    fTimer = plat::RunLoopTimer::Create(plat::ClockNow() + seconds, 0.5, &Fire, this);
    if (!plat::RunLoop::Main()->AddTimer(fTimer.get(), plat::kRunLoopCommonModes))
        ADD_FAILURE() << "guard timer not added";
}

NestedLoopGuard::~NestedLoopGuard() {
    fTimer->Invalidate();
    if (fFired) plat::Application::Shared()->WithdrawTermination();
}

void NestedLoopGuard::Fire(plat::RunLoopTimer*, void* self) {
    static_cast<NestedLoopGuard*>(self)->fFired = true;
    plat::Event escape;
    escape.type = plat::EventType::kKeyDown;
    escape.characters = escape.charactersIgnoringModifiers = "\x1b";
    plat::Application::Shared()->PostEvent(escape, true);
    plat::Application::Shared()->Terminate();
}

}  // namespace testsupport
