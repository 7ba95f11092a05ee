#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LImage.h"

class LMenu;

// Sent from a chosen item up the chain of the focus target.
L_MESSAGE_ID(LMenuItem_Selected);

// One item of a menu: texts, state, key equivalent, an optional submenu and the command ids it is
// bound to. Handlers never keep items; they enable, check and recognise commands by id. Main thread
// only.
class LMenuItem : public LHandler, public SSLink {
public:
    // Key modifiers in the native item format.
    enum : uint32_t { kShift = 1, kOption = 2, kControl = 4, kNoCommand = 8, kNoKey = 0x80 };

    explicit LMenuItem(LMenu* menu);
    ~LMenuItem() override;

    // The menu holding the item, null when none.
    LMenu* Menu() const { return fMenu; }

    bool IsEnabled() const { return fEnabled; }
    void SetEnabled(bool enabled) { fEnabled = enabled; }
    bool IsMarked() const { return fMarked; }
    void SetMarked(bool marked) { fMarked = marked; }
    bool IsDirty() const { return fDirty; }
    void SetDirty(bool dirty) { fDirty = dirty; }

    const LString& Text() const { return fText; }
    void SetText(const LString& text) { fText = text; }
    const LString& BaseText() const { return fBaseText; }
    // Sets the text shown and the base text restored before each readiness pass.
    void SetTexts(const LString& text) { fText = fBaseText = text; }

    LMenu* Submenu() const { return fSubmenu; }
    // Deletes an old submenu the item owned. The item owns the new one when its parent is the item's
    // menu.
    void SetSubmenu(LMenu* submenu);
    // Gives up the submenu without deleting it.
    LMenu* TakeSubmenu();
    bool OwnsSubmenu() const;

    // Key equivalents. The built-in one comes from the menu resource and cannot be changed by the
    // user; a user key replaces the shown key of other items. An unparsable spec leaves no key.
    bool HasBuiltInKey() const { return fHasKey; }
    void SetKeySpec(const LString& spec);
    void SetUserKeySpec(const LString& spec);
    const LString& KeySpec() const { return fKeySpec; }
    uint8_t KeyChar() const { return fKeyChar; }
    // 1 Shift, 2 Option, 4 Control, 8 no Command; 0x80 when there is no key.
    uint32_t KeyModifiers() const { return fKeyModifiers; }

    const LImageH& Image() const { return fImage; }
    void SetImage(const LImageH& image) { fImage = image; }

    // Unique among items once set (the native side maps its items back by it); -1 until then.
    int32_t Tag() const { return fTag; }
    int32_t AssignTag();

    // Commands.
    void SetCommand(const char* id);
    void AddCommand(const char* id);
    bool HasCommand(const char* id) const;
    // The first command id, empty when none.
    LString GetFirstCommand() const;
    bool HasCommands() const { return !fCommands.IsEmpty(); }
    // Calls f(context, id) for each command id.
    void ForEachCommand(void (*f)(void* context, const LString& id), void* context) const;

private:
    friend class LMenu;
    struct SCommand : SSLink {
        LString id;
    };
    void ApplyKey(const LString& spec, bool builtIn);

    LMenu* fMenu = nullptr;
    bool fDirty = false;
    bool fEnabled = false;
    bool fMarked = false;
    bool fHasKey = false;
    uint8_t fKeyChar = 0;
    LString fText;
    LString fBaseText;
    LMenu* fSubmenu = nullptr;
    uint32_t fKeyModifiers = kNoKey;
    LImageH fImage;
    LString fKeySpec;
    int32_t fTag = -1;
    LSLinkBase fCommands;
};
