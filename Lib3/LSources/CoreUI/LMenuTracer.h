#pragma once

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"

class LMenu;
class LMenuBar;
class LMenuItem;

L_MESSAGE_ID(LMenuTracer_Trace);

// Walks from an item up its menus to the first menu bar, noting the first menu with a given name
// (any name when empty).
class LMenuTracer : public LHandler {
public:
    explicit LMenuTracer(const LString& name) : LHandler(nullptr), fName(name) {}

    // The first menu on the item's path with the name (empty: the item's own menu), or null.
    static LMenu* TraceMenu(LMenuItem* item, const LString& name, LMenuBar** bar = nullptr);

    const LString& Name() const { return fName; }
    LMenu* Found() const { return fMenu; }
    void SetFound(LMenu* menu) { fMenu = menu; }
    LMenuBar* Bar() const { return fBar; }
    void SetBar(LMenuBar* bar) { fBar = bar; }

private:
    LString fName;
    LMenu* fMenu = nullptr;
    LMenuBar* fBar = nullptr;
};
