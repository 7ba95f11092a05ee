#pragma once

#include <cstdint>

class LMenu;
class LMenuItem;

// The native side of one framework menu, made by the native bridge (CMacMenuBridge) through the
// installed factory; without one menus have no native part. Indices count the items that are in the
// native menu. Main thread only.
class LMenuNative {
public:
    using Factory = LMenuNative* (*)(LMenu* menu);

    virtual ~LMenuNative() = default;

    // Installs the factory (null removes it); menus made afterwards get a native part.
    static void SetFactory(Factory factory);
    // A new native part for the menu (owned by the caller), or null without a factory.
    static LMenuNative* Make(LMenu* menu);

    virtual void InsertItem(uint32_t index, LMenuItem* item) = 0;
    virtual void RemoveItem(uint32_t index) = 0;
    // Refreshes the native item from the framework item; nothing when the index is out of range.
    virtual void UpdateItem(uint32_t index, LMenuItem* item) = 0;
    // Into the menu bar before the menu of `before` (at the end when null or not in the bar).
    virtual void InstallInMenuBar(const LMenuNative* before) = 0;
    virtual void RemoveFromMenuBar() = 0;
};
