#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

class CDocModelHolder;
class LHandler;

// Edits of the mix: unit ids, layers, filter chains, inputs and animators. Every change goes
// through the record setters with the given editor (null: no undo entry) and is broadcast;
// operations of several steps form one undo group. A record handed in belongs to the call: it is
// inserted or deleted. An operation that needs a fresh unit id when none is free changes nothing
// (tree, 'luid' and undo stream) and answers a failed insert. Main thread only.
class UDocUnits {
public:
    // The next free unit id after 'luid' (1..32767, wrapping once), also skipping ids of other (a
    // unit tree about to be inserted); stored into 'luid' without undo. 0 when none is free.
    static uint32_t NewUnitId(CRecordRef mix, const CRecord* other = nullptr);
    // A new UNIT with a fresh id and the composition path; null when no id is free.
    static CRecord* NewUnitRecord(CRecordRef mix, const LString& path);
    // Gives the units of a tree about to be inserted fresh ids where their ids are used in the mix
    // (or repeat within the tree, or are 0); false, with nothing changed, when ids run out.
    [[nodiscard]] static bool ReassignUnitIds(CRecordRef mix, CRecord* tree, const CRecord* other = nullptr);

    // Inserts a LAYR, or a UNIT wrapped into a new layer, at index (clamped); other records are
    // deleted. The index inserted at, or -1.
    static int32_t InsertLayer(CRecordRef mix, LHandler* editor, uint32_t index, CRecord* record,
                               bool reassign);
    // A new layer on a new unit for the composition path; with PREF 'slad' set it starts with
    // "_oblayer_Blend" "0". The index or -1.
    static int32_t AddCompositionLayer(CRecordRef mix, LHandler* editor, uint32_t index, const LString& path);
    // A layer for a file: a ".qtz" is a composition layer; any other file plays through
    // "obImageInput.qtz" with its stored path in "_protocolInput_Image". The index or -1.
    static int32_t AddMediaLayer(CDocModelHolder& holder, LHandler* editor, uint32_t index,
                                 const LFsSpec& file);
    // Deletes layer n and, in the same undo group, the scene values of its units.
    static void DeleteLayer(CDocModelHolder& holder, LHandler* editor, uint32_t n);

    // Inserts a UNIT into the filter chain of the unit with that id; false (record deleted) when
    // there is no such unit or ids run out.
    static bool InsertFilterUnit(CRecordRef mix, LHandler* editor, uint32_t unitId, uint32_t index,
                                 CRecord* record, bool reassign);
    // A new filter for the path; with 'slad' set it starts bypassed ("_obunit_Bypass" "1").
    static bool AddFilterUnit(CRecordRef mix, LHandler* editor, uint32_t unitId, uint32_t index,
                              const LString& path);
    // Removes the unit's scene values, then the unit when it is a filter or an animator (a unit in
    // an image slot stays: SetUnitInput removes those).
    static void DeleteUnitById(CDocModelHolder& holder, LHandler* editor, uint32_t id);

    // Sets the input's value, appending the INPT when missing. With withImage an empty image slot
    // receives a new unit; without it an image unit is deleted. False when ids run out.
    static bool SetUnitInput(CRecordRef mix, LHandler* editor, CRecord* unit, const LString& key,
                             const LString& value, bool withImage);
    // The input's INPT, appended with the default value when missing; null when it cannot be made.
    static CRecord* FindOrAddUnitInput(CRecord* unit, LHandler* editor, const LString& key,
                                       const LString& defaultValue);
    // The input's animator slot receives a new unit for the path, or the given unit (made unique
    // first when asked). False when ids run out.
    static bool SetAnimator(CRecordRef mix, LHandler* editor, CRecord* input, const LString& path);
    static bool SetAnimator(CRecordRef mix, LHandler* editor, CRecord* input, CRecord* unit, bool reassign);

    // "_oblayer_MixFunc" := "max", "add", "sub", "rep" (empty from 4 on); nothing without the input.
    static void SetLayerMixFunc(CRecord* layer, LHandler* editor, int n);
    // "_oblayer_Blend" := the value at 3 decimals, trailing zeros cut; no undo entry.
    static void SetLayerBlend(CRecord* layer, double value);

    // Deletes from every scene of the current list the values of the unit and of every unit below it.
    static void RemoveUnitSceneValues(LHandler* editor, CRecordRef scns, const CRecord* unit);
};
