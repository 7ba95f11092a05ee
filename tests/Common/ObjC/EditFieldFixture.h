#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "Common/ObjC/CMacWindowKind.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/TextView.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/Foundation/Clock.h"
#include "tests/Common/ObjC/MainLoopFixture.h"
#include "tests/support/FakeClock.h"
#include "tests/support/GeneralPasteboardText.h"
#include "tests/support/PinnedFonts.h"

// Sits between a field and its frame: records the ids and senders going up, consumes what it is told.
struct UpperRecorder : LHandler {
    explicit UpperRecorder(LHandler* up) : LHandler(up) {}
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        if (consume.count(msg.id.Text())) return LMessage();
        return LHandler::Handle(msg);
    }
    int Count(const char* id) const {
        int n = 0;
        for (const std::string& s : ids) n += s == id;
        return n;
    }
    std::vector<std::string> ids;
    std::set<std::string> consume;
};

struct EditFrame : LFrame {
    explicit EditFrame(LHandler* up)
        : LFrame(up, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6)))) {}
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LFrame_Close)) return LMessage();
        return LFrame::Handle(msg);
    }
};

// A shown document window with a frame, and keys sent through the application as the window
// system delivers them.
class EditFieldFixture : public MainLoopFixture {
protected:
    EditFieldFixture() {
        testsupport::PinFontsToDejaVu();
        screens.Backend().SetMouseLocation({0, 0});
        frame = new EditFrame(&root);
        frame->SetWindowFrame({100, 100, 400, 300});
        frame->ShowWindow();
        LHandler::Dispatch(LMessage(LWindow_Place, frame->Window(), frame));
        native = frame->Window()->NativeWindow();
        native->MakeKeyAndOrderFront();
        if (!(frame->State() & LPane::kFocused)) frame->ChangeState(LPane::kFocus);
    }
    ~EditFieldFixture() override { delete frame; }
    void Send(plat::Event e) {
        e.timestamp = plat::ClockNow();
        if (!e.eventNumber) e.eventNumber = plat::Application::Shared()->NextEventNumber();
        plat::Application::Shared()->SendEvent(e);
    }
    void Key(const char* chars, uint32_t mods = 0) {
        Send(plat::headless::HeadlessBackend::KeyEvent(plat::EventType::kKeyDown, native, chars, 0, mods));
    }
    void Type(const std::string& text) {
        for (size_t i = 0; i < text.size();) {
            size_t n = 1;
            while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
            Key(text.substr(i, n).c_str());
            i += n;
        }
    }

    testsupport::FakeClock clock;
    LMouse mouse;
    LKeyboard keyboard;
    testsupport::GeneralPasteboardText board;
    EditFrame* frame = nullptr;
    plat::Window* native = nullptr;
};
