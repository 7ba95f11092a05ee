#pragma once

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Orbilume/CSources/App/DocWindows.h"

namespace apptest {

// The window part of a fake document window: a handler below the document's, and the visibility
// and frame it is told.
template <class Interface>
class FakeDocWindow : public Interface {
public:
    FakeDocWindow(LHandler* upper, const CLRect& place) : handler(upper), frame(place) {}
    LHandler* Handler() override { return &handler; }
    void Show() override { visible = true; }
    void Hide() override { visible = false; }
    bool IsVisible() const override { return visible; }
    void Select() override {}
    CLRect Frame() const override { return frame; }
    void SetFrame(const CLRect& f) override { frame = f; }
    void SetTitle(const LString&) override {}

    LHandler handler;
    bool visible = false;
    CLRect frame;
};

}  // namespace apptest
