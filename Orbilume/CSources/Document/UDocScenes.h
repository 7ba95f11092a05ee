#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"

class LHandler;

// Edits of scenes, stored scene values and sequences in a show's SCNS record. Scene lists stay in
// ascending order of 'extm'; "the current list" is the one SCNS field 16 selects. Changes go through
// the record setters with the editor (null: no undo entry). Main thread only.
class UDocScenes {
public:
    static CRecord* NewScene();
    static CRecord* NewSequenceRef();
    static CRecord* NewSceneValue(uint32_t unitId, const LString& key, const LString& value);

    // Inserts into the current list (the scene is deleted when there is none).
    static bool InsertScene(CRecordRef scns, LHandler* editor, uint32_t index, CRecord* scene);
    // Stores time into 'extm' and inserts after every scene at or before it; the index or -1.
    static int32_t InsertSceneByTime(CRecordRef scns, LHandler* editor, float time, CRecord* scene);
    // Re-times scene n and moves it to keep the list ordered; its new index (n when out of range).
    static uint32_t SetSceneTimeSorted(CRecordRef scns, LHandler* editor, uint32_t n, float time);
    static void DeleteScene(CRecordRef scns, LHandler* editor, uint32_t n);

    // Adds the value, or replaces it unless addOnly is set.
    static void SetSceneValue(CRecord* scene, LHandler* editor, uint32_t unitId, const LString& key,
                              const LString& value, bool addOnly);
    static void RemoveSceneValue(CRecord* scene, LHandler* editor, uint32_t unitId, const LString& key);
    static void RemoveSceneValueFromAll(CRecordRef scns, LHandler* editor, uint32_t unitId,
                                        const LString& key);

    // Recall request: position and fade time overrides stored directly, field 8 reset silently and
    // then set to n with a broadcast, so that selecting the same scene again recalls it again.
    static void SelectScene(CRecordRef scns, uint32_t n, float position, float fadeTime);
    static void RequestLocateScene(CRecordRef scns, uint32_t n);

    // Appends a new sequence (the SCNS hook gives it an id); the index it got.
    static int32_t AppendSequence(CRecordRef scns, LHandler* editor);
    // Field 16: -1 (off) or 0 (on, first sequence); nothing when already so.
    static void SetSequenceEditing(CRecordRef scns, bool on);
    // Field 16 := n while sequence editing is on.
    static void SetEditedSequence(CRecordRef scns, int32_t n);
};
