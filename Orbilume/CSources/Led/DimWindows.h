#pragma once

#include <memory>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Orbilume/CSources/App/DocWindows.h"

class CDimDefLibrary;
class CDimDefStore;
class CDimOutput;
class CRecordHolder;
class LHandler;

// The windows of the dimmer document, reached through small interfaces whose factories the areas
// that build them install. A window without a factory is absent: nothing is made and the command
// that would show it stays disabled. Main thread only, except SignalRedraw.

// The dimmer window: layout view and device list.
class IDimWindow : public IDocWindow {
public:
    // Any thread (the render thread after a captured frame): the view redraws on the main thread.
    virtual void SignalRedraw() = 0;
};

struct SDimWindowArgs {
    LHandler* upper = nullptr;        // the dimmer document
    CRecordRef settings;              // the 'dimp' set
    CRecordHolder* dims = nullptr;    // holder of the DIMS root
    CDimDefStore* defs = nullptr;     // the definitions store
    CDimOutput* output = nullptr;     // draws the canvas preview
    CDimDefLibrary* library = nullptr;  // the definitions menu
};
using DimWindowFactory = std::unique_ptr<IDimWindow> (*)(const SDimWindowArgs& args);

// The universe-address window over the DIMS 'uvas' record.
class IDimUvAdWindow : public IDocWindow {
public:
    // Shows the first universe of each row in sACN numbering (else Art-Net net/subnet/universe).
    virtual void SetSacn(bool sacn) = 0;
};

struct SDimUvAdArgs {
    LHandler* upper = nullptr;
    CRecordRef settings;  // the "uvads" sub-set of the dimmer settings
    CRecordHolder* dims = nullptr;
    CRecord* uvas = nullptr;
    bool sacn = false;
};
using DimUvAdWindowFactory = std::unique_ptr<IDimUvAdWindow> (*)(const SDimUvAdArgs& args);

// The definition editor's controller: opens (or brings forward) the editor window.
class IDimDefEditor {
public:
    virtual ~IDimDefEditor() = default;
    virtual void Open() = 0;
};
using DimDefEditorFactory = std::unique_ptr<IDimDefEditor> (*)(LHandler* upper, CDimDefStore* defs,
                                                               CRecordRef settings);

struct SDimWindowFactories {
    DimWindowFactory window = nullptr;
    DimUvAdWindowFactory universeAddresses = nullptr;
    DimDefEditorFactory definitionEditor = nullptr;
};

// The installed factories (copied); null restores "absent".
void SetDimWindowFactories(const SDimWindowFactories* factories);
const SDimWindowFactories& DimWindowFactories();
