#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CLRect.h"

class CMixEngine;
class CRecord;
class CDocModelHolder;
class LHandler;

// The windows a document and the application show, reached through small interfaces whose
// factories the areas that build them install (the engine's monitor window, the editors' console
// and sequence list windows, the application's tool windows). A kind without a factory is absent:
// nothing is made, and the commands that need it stay disabled. Main thread only.

// One window: its handler (the sender of the window's "LFrame_*" messages to its upper handler),
// visibility, frame in global coordinates (left, top, right, bottom of the whole window) and title.
class IDocWindow {
public:
    virtual ~IDocWindow() = default;
    virtual LHandler* Handler() = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual bool IsVisible() const = 0;
    virtual void Select() = 0;  // to the front
    virtual CLRect Frame() const = 0;
    virtual void SetFrame(const CLRect& frame) = 0;
    virtual void SetTitle(const LString& title) = 0;
};

// The window that shows the rendered mix of one document.
class IMonitorWin : public IDocWindow {
public:
    virtual bool IsFullScreen() const = 0;
    virtual void SetFixedSize(bool fixed) = 0;
    virtual void ContentSize(uint32_t& width, uint32_t& height) const = 0;
    virtual void SetContentSize(uint32_t width, uint32_t height) = 0;
    // The monitor size dialog over this window: 1 OK, 2 Cancel, 0 when there is none.
    virtual uint32_t RunSizeDialog() { return 0; }
};

// The console: layer channels, scene list, parameters; two dividers kept as fractions. What the
// document asks of its controls and lists has defaults for a console without them.
class IConsoleWin : public IDocWindow {
public:
    enum class EButton : uint32_t { kNone, kPlay, kStop, kToStart, kNewScene };

    virtual float Divider(uint32_t index) const = 0;  // 0 or 1: position ÷ range
    virtual void SetDivider(uint32_t index, float fraction) = 0;
    // After a capture: the scene's row selected alone with its name field active.
    virtual void SelectAndEditScene(int32_t /*row*/) {}

    // Which transport button the sender of a "LStdCtl_Selected" is.
    virtual EButton ButtonOf(const LHandler* /*sender*/) const { return EButton::kNone; }
    // True with the time field's time (a count of milliseconds, at most 23:59:59.99) when the sender
    // is that field.
    virtual bool TimeFieldMs(const LHandler* /*sender*/, int64_t& /*ms*/) const { return false; }
    // The console is built and shown (or can be shown): scene commands may run.
    virtual bool IsUsable() const { return true; }
    virtual bool HasSceneList() const { return false; }
    // Rows of the scene list (scene indexes of the current list), ascending.
    virtual std::vector<uint32_t> SelectedScenes() const { return {}; }
    virtual void SelectSceneRow(uint32_t /*index*/) {}
    // Selected layer channels (layer indexes), ascending.
    virtual std::vector<uint32_t> SelectedChannels() const { return {}; }
    // The channel list's insert position for new layers.
    virtual uint32_t InsertIndex() const { return 0; }
    virtual void SelectChannel(uint32_t /*index*/) {}
    // The unit the parameter pane shows ('unid'), 0 without one.
    virtual uint32_t CurrentUnitId() const { return 0; }
    // The parameter the pane has selected; false without one.
    virtual bool CurrentParam(uint32_t& /*unitId*/, LString& /*key*/) const { return false; }
};

struct SDocWindowArgs {
    LHandler* upper = nullptr;  // the document
    CMixEngine* engine = nullptr;
    CDocModelHolder* model = nullptr;
    CRecord* docPrefs = nullptr;     // the document's DCPF record
    IConsoleWin* console = nullptr;  // for the sequence list window
    bool fullScreen = false;         // monitor only
};

struct SDocWindowFactories {
    std::unique_ptr<IMonitorWin> (*monitor)(const SDocWindowArgs& args) = nullptr;
    std::unique_ptr<IConsoleWin> (*console)(const SDocWindowArgs& args) = nullptr;
    std::unique_ptr<IDocWindow> (*sequenceList)(const SDocWindowArgs& args) = nullptr;
};

// Application windows without a document, made by the application object when present.
enum class EAppWindow : uint32_t {
    kStartup,         // start-up window ("Orbilume" on its first line, kept up 5 s)
    kTextEdit,        // text-edit window (its handler is the CTextEditWin the application shares)
    kVideoDevices,    // video devices window ("cVideoIn")
    kViewPrefs,       // view preferences
    kDimmer,          // LED dimmer component window ("CAppCmd_DMatx")
    kDimDefinitions,  // fixture definitions library
    kMidiInput,       // MIDI input window ("cMidiIn")
    kTimecode,        // timecode window ("cSMPTEIn")
    kOutputAdjust,    // output adjustment window ("cOutAdj")
    kCount
};
using AppWindowFactory = std::unique_ptr<IDocWindow> (*)(LHandler* upper);

// The installed factories (copied); null arguments restore "absent".
void SetDocWindowFactories(const SDocWindowFactories* factories);
const SDocWindowFactories& DocWindowFactories();
void SetAppWindowFactory(EAppWindow kind, AppWindowFactory factory);
// The new window, or null when its kind is absent.
std::unique_ptr<IDocWindow> MakeAppWindow(EAppWindow kind, LHandler* upper);
