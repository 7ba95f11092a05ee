#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/SchDateTime.h"
#include "Orbilume/CSources/Document/CSchMatcher.h"
#include "Orbilume/CSources/Schedule/CSchLink.h"

class CDocModelHolder;
struct SRecordEvent;

// A show's schedule runner. While the schedule editor is open it reads the local date and time
// every 500 ms (seconds truncated) and, when the matching entry changes, fires the new one: the
// sequence its command names (sequence n for an entry n without a command) becomes the edited
// sequence and the show goes to its first scene. Closing the editor stops it; whether the editor
// was open is kept as "usesch" in the "schctl" settings and reopens it with the next show. The
// editors talk to it through the link. Main thread only.
class CSchCtl : public LHandler {
public:
    // How the runner makes and raises its editor window; the editor sends "LFrame_Close" to the
    // runner (its upper handler) to close. Without a factory the runner runs with a window-less
    // stand-in.
    struct EditorFactory {
        LHandler* (*make)(CSchCtl* runner, CSchLink* link);
        void (*show)(LHandler* editor);
    };
    static void SetEditorFactory(const EditorFactory* factory);

    // misc: the preferences' 'misc' set, holding the "schctl" set (made when missing).
    CSchCtl(LHandler* upper, CDocModelHolder* model, CRecordRef misc);
    ~CSchCtl() override;

    LMessage Handle(const LMessage& msg) override;

    // Makes the editor when there is none, shows it and starts the 500 ms ticks.
    void OpenEditor();
    // Stops the ticks and deletes the editor (once a message in flight has left it).
    void CloseEditor();
    // Fires entry n: only while sequence editing is on; nothing when its command names no
    // sequence any more, or, without a command, when there is no sequence n.
    void Fire(uint32_t n);
    // One step of the timer.
    void Tick();

    // The sequence entry n fires, or -1.
    int32_t SequenceOf(uint32_t n) const;
    // The local date and time now (seconds truncated, weekday 0 Sunday ... 6 Saturday).
    static SchDateTime LocalNow();

    bool IsRunning() const { return fEditor != nullptr; }
    LHandler* Editor() const { return fEditor; }
    int32_t LastIndex() const { return fLast; }
    CSchLink& Link() { return fLink; }
    CDocModelHolder* Model() const { return fModel; }
    const CSchMatcher& Matcher() const { return fMatcher; }
    const LTimer& Timer() const { return fTimer; }

    static constexpr uint32_t kTickMs = 500;

private:
    static void Request(void* context, SSchRequest& request);
    static void ObserveModel(void* context, const SRecordEvent* event);
    void Answer(SSchRequest& request);
    void Drop(SSchRequest& request);
    CRecordRef Entry(int32_t n) const;

    CDocModelHolder* fModel;
    CRecord* fSettings;
    CSchLink fLink;
    CSchMatcher fMatcher;
    LTimer fTimer;
    int32_t fLast = -1;
    LHandler* fEditor = nullptr;
};
