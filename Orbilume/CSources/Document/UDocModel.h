#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"

struct SRecordEvent;

// Look-ups over a show's record tree (CDocModelTypes): units and inputs, layers, the current
// scene list and sequences. Nothing here changes the tree. Main thread only.
class UDocModel {
public:
    // The INPT of the unit whose key equals key exactly, or null.
    static CRecord* FindUnitInput(const CRecord* unit, const LString& key);
    // The first UNIT with that id under the mix, depth first: each layer's unit, its filter chain
    // (recursively), then each input's image unit and animator (recursively); null when none.
    static CRecord* FindUnitById(const CRecord* mix, uint32_t id);
    // Calls f(unit) for every unit of a unit tree in FindUnitById's order; stops when f answers false.
    template <class F>
    static bool ForEachUnit(CRecord* unit, F&& f);
    // The index of the enclosing LAYR in the mix's layers; -1 when there is none.
    static int32_t GetLayerIndexOf(const CRecord* record);
    // The layer's mix function (0 "max" when missing or unknown) and blend (1.0 when missing).
    static int GetLayerMixFunc(const CRecord* layer);
    static double GetLayerBlend(const CRecord* layer);

    // The current scene list: the SCNS's own 'scns' while field 16 is negative, else that
    // sequence's; false when field 16 names no sequence.
    static bool GetCurrentSceneList(const CRecord* scns, CRecord*& owner, uint32_t& field);
    static uint32_t GetSceneCount(const CRecord* scns);
    static CRecord* GetSceneAt(const CRecord* scns, uint32_t n);
    // The first scene of the current list whose key equals text without case; -1 when none.
    static int32_t FindSceneByKey(const CRecord* scns, const LString& text);
    static int32_t FindSequenceById(const CRecord* scns, uint32_t id);
    // The index of the scene's stored value of (unit id, key); -1 when none.
    static int32_t FindSceneValue(const CRecord* scene, uint32_t id, const LString& key);
    // The number of scenes of the current list before time t, searched from the hint.
    static uint32_t SceneLowerBound(const CRecord* scns, uint32_t hint, float t);

    static bool IsSceneListEvent(const SRecordEvent& event);
    static bool IsCurrentSceneListEvent(const CRecord* scns, const SRecordEvent& event);
    static bool IsCurrentSceneList(const CRecord* scns, const CRecord* record);
    // callback(context, scene, index) for every scene of the document's list, then of each
    // sequence's; false as soon as the callback answers false.
    using SceneCallback = bool (*)(void* context, CRecord* scene, uint32_t index);
    static bool ForEachScene(const CRecord* scns, SceneCallback callback, void* context);
};

#include "Orbilume/CSources/Document/UDocModel.inl"
