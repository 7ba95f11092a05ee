#pragma once

#include "Lib3/LSources/CoreUI/LTextPane.h"

L_MESSAGE_ID(LTitlePane_Constructing);
L_MESSAGE_ID(LTitlePane_Destructing);

// A right-aligned one-line label that tells its upper handler when it is made and when it goes, so
// a control can find its title (a pop-up list remembers the first one announced to it). Unlike a
// plain label it takes part in hit testing.
class LTitlePane : public LTextPane {
public:
    LTitlePane(LHandler* upper, LPane* owner);
    ~LTitlePane() override;
};
