#include "Orbilume/CSources/Document/UDocUnits.h"

#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/String/UWord.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

// One undo step for the edits made while it lives.
class UndoGroup {
public:
    explicit UndoGroup(LHandler* editor) : mToken(CRecordUndo::BeginGroup(editor)) {}
    ~UndoGroup() { CRecordUndo::EndGroup(mToken); }
    UndoGroup(const UndoGroup&) = delete;
    UndoGroup& operator=(const UndoGroup&) = delete;

private:
    void* mToken;
};

// A reference to a record that is held by a variable of the caller.
CRecordRef Ref(CRecord*& var) {
    return CRecordRef(&var);
}

bool IsMix(CRecordRef mix) {
    return mix && mix->IsOfType(T::kDomain, T::kMIXS);
}

bool IsUnit(const CRecord* r) {
    return r && r->IsOfType(T::kDomain, T::kUNIT);
}

// The ids in use: one flag per id 0..kMaxUnitId.
class IdSet {
public:
    IdSet() : mUsed(T::kMaxUnitId + 1, 0) {}
    void AddTree(CRecord* unit) {
        UDocModel::ForEachUnit(unit, [this](CRecord* u) {
            Add(u->GetUInt(T::kUnitId));
            return true;
        });
    }
    void AddMix(const CRecord* mix) {
        for (uint32_t i = 0; i < mix->ArrayCount(T::kMixsLayers); ++i) {
            const CRecord* layer = mix->GetElement(T::kMixsLayers, i);
            if (layer) AddTree(layer->GetSubRecord(T::kLayrUnit));
        }
    }
    void Add(uint32_t id) {
        if (id <= T::kMaxUnitId) mUsed[id] = 1;
    }
    bool Has(uint32_t id) const { return id <= T::kMaxUnitId && mUsed[id]; }

    // The next free id after last, wrapping from kMaxUnitId to 1 once; 0 when none is free.
    uint32_t Next(uint32_t last) const {
        uint64_t c = last;
        bool wrapped = false;
        for (;;) {
            if (++c > T::kMaxUnitId) {
                if (wrapped) return 0;
                wrapped = true;
                c = 1;
            }
            if (!mUsed[c]) return static_cast<uint32_t>(c);
        }
    }

private:
    std::vector<uint8_t> mUsed;
};

void StoreLastId(CRecordRef mix, uint32_t id) {
    mix.SetUInt(nullptr, T::kMixsLastUnitId, id);
}

CRecord* NewInput(const char* key, const LString& value) {
    CRecord* input = CRecord::New(T::Type(T::kINPT));
    if (!input) return nullptr;
    input->StringSlot(T::kInptKey) = LString(key);
    input->StringSlot(T::kInptValue) = value;
    return input;
}

void AppendRawInput(CRecord* unit, const char* key, const char* value) {
    CRecord* input = NewInput(key, LString(value));
    if (input && !unit->InsertElementRaw(T::kUnitInputs, -1, input)) CRecord::Delete(input);
}

bool NewItemsSilent() {
    const CAppPrefs* prefs = CAppPrefs::Get();
    return prefs && prefs->Root() && prefs->Root()->GetBool(CAppPrefs::kPrefSilentAdd);
}

CRecordRef ScenesOfMix(CRecordRef mix) {
    CRecord* root = mix ? mix->Parent() : nullptr;
    if (!root || !root->IsOfType(T::kDomain, T::kOBMX)) return CRecordRef();
    return CRecordRef(&root->Slot(T::kObmxScenes).record);
}

bool HasQtzExtension(const LFsSpec& file) {
    const LString name = file.name();
    const uint32_t n = name.Length();
    if (n < 4) return false;
    const unsigned char* e = name.Text() + n - 4;
    return e[0] == '.' && (e[1] | 0x20) == 'q' && (e[2] | 0x20) == 't' && (e[3] | 0x20) == 'z';
}

}  // namespace

uint32_t UDocUnits::NewUnitId(CRecordRef mix, const CRecord* other) {
    if (!IsMix(mix)) return 0;
    IdSet used;
    used.AddMix(mix.Get());
    used.AddTree(const_cast<CRecord*>(other));
    const uint32_t id = used.Next(mix->GetUInt(T::kMixsLastUnitId));
    if (id) StoreLastId(mix, id);
    return id;
}

CRecord* UDocUnits::NewUnitRecord(CRecordRef mix, const LString& path) {
    const uint32_t id = NewUnitId(mix);
    if (!id) return nullptr;
    CRecord* unit = CRecord::New(T::Type(T::kUNIT));
    if (!unit) return nullptr;
    unit->Slot(T::kUnitId).u32 = id;
    unit->StringSlot(T::kUnitSpec) = path;
    return unit;
}

bool UDocUnits::ReassignUnitIds(CRecordRef mix, CRecord* tree, const CRecord* other) {
    if (!IsMix(mix) || !tree) return false;
    IdSet inMix;
    inMix.AddMix(mix.Get());
    IdSet used = inMix;
    used.AddTree(tree);
    used.AddTree(const_cast<CRecord*>(other));

    // Work out every new id first, so that running out changes nothing.
    std::vector<std::pair<CRecord*, uint32_t>> changes;
    IdSet seen;
    uint32_t last = mix->GetUInt(T::kMixsLastUnitId);
    bool ok = true;
    UDocModel::ForEachUnit(tree, [&](CRecord* unit) {
        const uint32_t id = unit->GetUInt(T::kUnitId);
        const bool collides = id == 0 || id > T::kMaxUnitId || inMix.Has(id) || seen.Has(id);
        seen.Add(id);
        if (!collides) return true;
        const uint32_t fresh = used.Next(last);
        if (!fresh) {
            ok = false;
            return false;
        }
        used.Add(fresh);
        last = fresh;
        changes.emplace_back(unit, fresh);
        return true;
    });
    if (!ok) return false;
    for (auto& [unit, id] : changes) unit->Slot(T::kUnitId).u32 = id;
    if (!changes.empty()) StoreLastId(mix, last);
    return true;
}

int32_t UDocUnits::InsertLayer(CRecordRef mix, LHandler* editor, uint32_t index, CRecord* record,
                               bool reassign) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsMix(mix) || !record) {
        CRecord::Delete(record);
        return -1;
    }
    CRecord* layer = record;
    if (IsUnit(record)) {
        layer = CRecord::New(T::Type(T::kLAYR));
        if (!layer) {
            CRecord::Delete(record);
            return -1;
        }
        CRecord::Delete(layer->SetSubRecord(T::kLayrUnit, record));
    } else if (!record->IsOfType(T::kDomain, T::kLAYR)) {
        CRecord::Delete(record);
        return -1;
    }
    if (reassign && !ReassignUnitIds(mix, layer->GetSubRecord(T::kLayrUnit))) {
        CRecord::Delete(layer);
        return -1;
    }
    const uint32_t count = mix->ArrayCount(T::kMixsLayers);
    if (index > count) index = count;
    UndoGroup group(editor);
    if (!mix.InsertRecord(editor, T::kMixsLayers, index, layer)) return -1;
    return layer->ArrayIndex();
}

int32_t UDocUnits::AddCompositionLayer(CRecordRef mix, LHandler* editor, uint32_t index,
                                       const LString& path) {
    CRecord* unit = NewUnitRecord(mix, path);
    if (!unit) return -1;
    if (NewItemsSilent()) AppendRawInput(unit, "_oblayer_Blend", "0");
    return InsertLayer(mix, editor, index, unit, false);
}

int32_t UDocUnits::AddMediaLayer(CDocModelHolder& holder, LHandler* editor, uint32_t index,
                                 const LFsSpec& file) {
    CRecordRef mix = holder.Mix();
    if (!IsMix(mix)) return -1;
    const uint32_t count = mix->ArrayCount(T::kMixsLayers);
    if (index > count) index = count;
    const LString stored = holder.MakeStoredPath(file);
    if (HasQtzExtension(file)) return AddCompositionLayer(mix, editor, index, stored);

    CRecord* fresh = NewUnitRecord(mix, LString("obImageInput.qtz"));
    if (!fresh) return -1;
    if (NewItemsSilent()) AppendRawInput(fresh, "_oblayer_Blend", "0");
    // The group opens only once nothing can fail, so a refused layer leaves no undo entry.
    UndoGroup group(editor);
    const int32_t at = InsertLayer(mix, editor, index, fresh, false);
    if (at < 0) return -1;
    CRecord* layer = mix->GetElement(T::kMixsLayers, static_cast<uint32_t>(at));
    CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
    // The engine adds the composition's inputs when it sees the layer; without one yet the input is
    // made here, so that the file is never lost.
    CRecord* input = FindOrAddUnitInput(unit, editor, LString("_protocolInput_Image"), stored);
    if (input && !(input->GetString(T::kInptValue) == stored))
        Ref(input).SetString(editor, T::kInptValue, stored);
    return at;
}

void UDocUnits::RemoveUnitSceneValues(LHandler* editor, CRecordRef scns, const CRecord* unit) {
    if (!unit || !scns) return;
    IdSet ids;
    ids.AddTree(const_cast<CRecord*>(unit));
    const uint32_t count = UDocModel::GetSceneCount(scns.Get());
    for (uint32_t s = count; s-- > 0;) {
        CRecord* scene = UDocModel::GetSceneAt(scns.Get(), s);
        if (!scene) continue;
        for (uint32_t v = scene->ArrayCount(T::kScneValues); v-- > 0;) {
            const CRecord* value = scene->GetElement(T::kScneValues, v);
            if (value && ids.Has(value->GetUInt(T::kPrmtUnitId)) && value->GetUInt(T::kPrmtUnitId) != 0)
                Ref(scene).DeleteElement(editor, T::kScneValues, v);
        }
    }
}

void UDocUnits::DeleteLayer(CDocModelHolder& holder, LHandler* editor, uint32_t n) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecordRef mix = holder.Mix();
    if (!IsMix(mix) || n >= mix->ArrayCount(T::kMixsLayers)) return;
    CRecord* layer = mix->GetElement(T::kMixsLayers, n);
    UndoGroup group(editor);
    if (layer) RemoveUnitSceneValues(editor, holder.Scenes(), layer->GetSubRecord(T::kLayrUnit));
    mix.DeleteElement(editor, T::kMixsLayers, n);
}

bool UDocUnits::InsertFilterUnit(CRecordRef mix, LHandler* editor, uint32_t unitId, uint32_t index,
                                 CRecord* record, bool reassign) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* target = UDocModel::FindUnitById(mix.Get(), unitId);
    if (!target || !IsUnit(record) || (reassign && !ReassignUnitIds(mix, record))) {
        CRecord::Delete(record);
        return false;
    }
    UndoGroup group(editor);
    return Ref(target).InsertRecord(editor, T::kUnitFilters, index, record);
}

bool UDocUnits::AddFilterUnit(CRecordRef mix, LHandler* editor, uint32_t unitId, uint32_t index,
                              const LString& path) {
    if (!UDocModel::FindUnitById(mix.Get(), unitId)) return false;
    CRecord* unit = NewUnitRecord(mix, path);
    if (!unit) return false;
    if (NewItemsSilent()) AppendRawInput(unit, "_obunit_Bypass", "1");
    return InsertFilterUnit(mix, editor, unitId, index, unit, false);
}

void UDocUnits::DeleteUnitById(CDocModelHolder& holder, LHandler* editor, uint32_t id) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* unit = UDocModel::FindUnitById(holder.Mix().Get(), id);
    if (!unit) return;
    CRecord* parent = unit->Parent();
    UndoGroup group(editor);
    RemoveUnitSceneValues(editor, holder.Scenes(), unit);
    if (!parent) return;
    if (IsUnit(parent) && unit->FieldInParent() == T::kUnitFilters) {
        Ref(parent).DeleteElement(editor, T::kUnitFilters, static_cast<uint32_t>(unit->ArrayIndex()));
    } else if (parent->IsOfType(T::kDomain, T::kINPT) && unit->FieldInParent() == T::kInptAnim) {
        Ref(parent).DeleteSubRecord(editor, T::kInptAnim, nullptr);
    }
}

CRecord* UDocUnits::FindOrAddUnitInput(CRecord* unit, LHandler* editor, const LString& key,
                                       const LString& defaultValue) {
    if (!IsUnit(unit)) return nullptr;
    if (CRecord* input = UDocModel::FindUnitInput(unit, key)) return input;
    CRecord* input = NewInput(key.CStr(), defaultValue);
    if (!input) return nullptr;
    input->StringSlot(T::kInptKey) = key;
    const uint32_t at = unit->ArrayCount(T::kUnitInputs);
    if (!Ref(unit).InsertRecord(editor, T::kUnitInputs, at, input)) return nullptr;
    return unit->GetElement(T::kUnitInputs, at);
}

bool UDocUnits::SetUnitInput(CRecordRef mix, LHandler* editor, CRecord* unit, const LString& key,
                             const LString& value, bool withImage) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!IsUnit(unit)) return false;
    CRecord* input = UDocModel::FindUnitInput(unit, key);
    CRecord* image = nullptr;
    if (withImage && !(input && input->GetSubRecord(T::kInptImage))) {
        image = NewUnitRecord(mix, LString());
        if (!image) return false;
    }
    UndoGroup group(editor);
    if (!input) {
        CRecord* fresh = NewInput(key.CStr(), value);
        if (!fresh) {
            CRecord::Delete(image);
            return false;
        }
        fresh->StringSlot(T::kInptKey) = key;
        if (image) CRecord::Delete(fresh->SetSubRecord(T::kInptImage, image));
        return Ref(unit).InsertRecord(editor, T::kUnitInputs, CRecordRef::kAppend, fresh);
    }
    Ref(input).SetString(editor, T::kInptValue, value);
    if (image) {
        Ref(input).DeleteSubRecord(editor, T::kInptImage, image);
    } else if (!withImage && input->GetSubRecord(T::kInptImage)) {
        RemoveUnitSceneValues(editor, ScenesOfMix(mix), input->GetSubRecord(T::kInptImage));
        Ref(input).DeleteSubRecord(editor, T::kInptImage, nullptr);
    }
    return true;
}

bool UDocUnits::SetAnimator(CRecordRef mix, LHandler* editor, CRecord* input, const LString& path) {
    if (!input || !input->IsOfType(T::kDomain, T::kINPT)) return false;
    CRecord* unit = NewUnitRecord(mix, path);
    if (!unit) return false;
    Ref(input).DeleteSubRecord(editor, T::kInptAnim, unit);
    return true;
}

bool UDocUnits::SetAnimator(CRecordRef mix, LHandler* editor, CRecord* input, CRecord* unit, bool reassign) {
    if (!input || !input->IsOfType(T::kDomain, T::kINPT) || (unit && !IsUnit(unit)) ||
        (unit && reassign && !ReassignUnitIds(mix, unit))) {
        CRecord::Delete(unit);
        return false;
    }
    Ref(input).DeleteSubRecord(editor, T::kInptAnim, unit);
    return true;
}

void UDocUnits::SetLayerMixFunc(CRecord* layer, LHandler* editor, int n) {
    if (!layer || !layer->IsOfType(T::kDomain, T::kLAYR)) return;
    CRecord* input = UDocModel::FindUnitInput(layer->GetSubRecord(T::kLayrUnit), LString("_oblayer_MixFunc"));
    if (input) Ref(input).SetString(editor, T::kInptValue, LString(UCtlAttr::MixFuncName(n)));
}

void UDocUnits::SetLayerBlend(CRecord* layer, double value) {
    if (!layer || !layer->IsOfType(T::kDomain, T::kLAYR)) return;
    CRecord* input = UDocModel::FindUnitInput(layer->GetSubRecord(T::kLayrUnit), LString("_oblayer_Blend"));
    if (input) Ref(input).SetString(nullptr, T::kInptValue, UWord::FloatSuppress(value, 3));
}
