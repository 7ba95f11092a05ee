#pragma once

#include "Common/ObjC/CTextSlot.h"

class CDimDefLibrary;
class LMenu;
class LMenuItem;

// The chosen definition's name is the slot's text; a pick from the menu changes it.
L_MESSAGE_ID(CDIMDefSel_Changed);

// A text slot that shows a fixture definition's name and, on a click, pops up the definitions menu
// of the library with the current name checked. A pick sets the text and sends
// "CDIMDefSel_Changed" (sender the slot) up the chain; no pick changes nothing. Main thread only.
class CDIMDefSel : public CTextSlot {
public:
    CDIMDefSel(LPane* owner, CDimDefLibrary* library);

    LMessage Handle(const LMessage& msg) override;

    CDimDefLibrary* Library() const { return fLibrary; }
    // Readies the menu: every item reset, those bound to "cDimDefSel" (and the items that open
    // their submenus) enabled, the one titled with the text checked.
    void PrepareMenu(LMenu* menu) const;

protected:
    // Pops the menu up at the pointer; the chosen item or null.
    virtual LMenuItem* PopUp(LMenu* menu);

private:
    void Choose();

    CDimDefLibrary* fLibrary;
};
