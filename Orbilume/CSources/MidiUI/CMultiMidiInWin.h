#pragma once

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LFrame.h"

class CMultiMidiInStates;

// The MIDI inputs window ("CMULTIMIDIINWIN", string 0 the title): the list of the MIDI input table
// laid out by its layout; its size limits come from that layout. The close box and the Close
// command hide it. Main thread only.
class CMultiMidiInWin : public LFrame {
public:
    static constexpr const char* kName = "CMULTIMIDIINWIN";

    CMultiMidiInWin(LHandler* upper, LPane* owner, CRecordRef table,
                    const LFrameSpec& spec = LFrameSpec::Default());

    LMessage Handle(const LMessage& msg) override;

    CMultiMidiInStates* List() const { return fList; }

private:
    CMultiMidiInStates* fList;
};
