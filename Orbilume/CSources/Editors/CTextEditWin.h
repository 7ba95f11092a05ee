#pragma once

#include "Lib3/LSources/CoreUI/LFrame.h"

class LEditText;

// An edit of the window's text, sent from the window to its attached client.
L_MESSAGE_ID(CTextEditWin_Change);

// The application's one floating text window ("CTEXTEDITWIN"): a multi-line edit text lent to one
// client pane at a time, which hears of every edit. The application sets the instance when it is
// made and clears it before destroying it; a client detaches before it goes. Main thread only.
class CTextEditWin : public LFrame {
public:
    CTextEditWin();
    ~CTextEditWin() override;

    LMessage Handle(const LMessage& msg) override;

    static void SetInstance(CTextEditWin* window);
    static CTextEditWin* Instance();
    // The instance with the client attached (null without an instance).
    static CTextEditWin* Attach(LHandler* client);
    // When the client is the attached one: no client, the window hidden; otherwise nothing.
    static void Detach(LHandler* client);
    static CTextEditWin* GetIfAttached(LHandler* client);

    LEditText* EditText() const { return fEdit; }
    LHandler* Client() const { return fClient; }

private:
    LEditText* fEdit;
    LHandler* fClient = nullptr;  // borrowed
};
