#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/QCx/CQcPortDesc.h"
#include "Platform/Composer/Composition.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/Value.h"

class CStrArray;

namespace plat {
class Repository;
}

// One composition the engine runs (a user's file, a composition of the shared repository, or an
// internal one), with the file it came from, and the readers that take from it what units,
// parameters and the repository need. Immutable; callers hold it in plat::Ref. The readers accept
// null (they then read nothing) and type-check every attribute: a value of another type counts as
// absent.
class MQcComposition_ : public plat::Object {
public:
    // Protocol codes.
    enum : uint32_t {
        kGraphicAnimation = 0,
        kGraphicTransition = 1,
        kImageFilter = 2,
        kScreenSaver = 3,
        kRSSVisualizer = 4,
        kMusicVisualizer = 5,
        kProtocolCount = 6
    };
    // Category codes.
    enum : uint32_t {
        kCategoryOther = 0,
        kCategoryDistortion = 1,
        kCategoryStylize = 2,
        kCategoryUtility = 3
    };

    // Owned reference, or null for an empty path or a file that does not load.
    static MQcComposition_* FromFile(const std::string& path);
    // Owned reference over the composition (retained), or null for null.
    static MQcComposition_* FromComposition(plat::Composition* composition);
    // Appends an owned reference for each composition of the repository (the shared one when null);
    // nothing when there is none. ReleaseAll releases and empties the list.
    static void AllRepositoryCompositions(std::vector<MQcComposition_*>& out,
                                          plat::Repository* repository = nullptr);
    static void ReleaseAll(std::vector<MQcComposition_*>& list);
    // Owned reference to the repository's composition of that identifier ("/name"), or null.
    static MQcComposition_* FromRepository(const LString& identifier, plat::Repository* repository = nullptr);

    plat::Composition* compo() const { return fCompo.get(); }
    // The file path; empty for a composition taken from a repository.
    const std::string& path() const { return fPath; }
    // The composition's file as read (null when it came from data).
    const plat::Value& prop() const;

    static void InputKeys(const MQcComposition_* c, CStrArray& list);
    static void OutputKeys(const MQcComposition_* c, CStrArray& list);
    static void ImageInputs(const MQcComposition_* c, std::vector<CQcImagePort>& list);
    static void ImageOutputs(const MQcComposition_* c, std::vector<CQcImagePort>& list);
    // The index labels of an input: its menu items, else the published node's "indexLabels" in the
    // file. Null when neither is there.
    static plat::Value MenuItems(const MQcComposition_* c, const LString& key);
    // False when the composition has no such port.
    static bool ReadPortDesc(const MQcComposition_* c, const LString& key, CQcPortDesc& desc);

    static bool HasConsumers(const MQcComposition_* c);
    static bool IsTimeDependent(const MQcComposition_* c);
    static LString Name(const MQcComposition_* c);
    // "/name" for a repository's composition, else the file name of its path.
    static LString Identifier(const MQcComposition_* c);
    static uint32_t Category(const MQcComposition_* c);
    // Appends the code of each known protocol, in the composition's order.
    static void Protocols(const MQcComposition_* c, std::vector<uint32_t>& codes);
    static bool IsStub(const MQcComposition_* c);
    static bool IsPlane(const MQcComposition_* c);
    static bool IsClear(const MQcComposition_* c);
    // "lumetra.name" through PickLocalText, else the name.
    static LString DisplayName(const MQcComposition_* c);
    static LString MakerCategory(const MQcComposition_* c);
    // Appends each text element of the array attribute.
    static void StringListAttribute(const MQcComposition_* c, const char* key, CStrArray& list);

    // The protocol code of a protocol name, or -1.
    static int32_t ProtocolCode(const std::string& protocol);
    // A number, a boolean (0 or 1) or a string holding only a decimal number; false for anything
    // else (absent).
    static bool NumberOf(const plat::Value& value, double& out);

private:
    MQcComposition_(plat::Composition* composition, std::string path);
    ~MQcComposition_() override = default;
    static bool BoolAttribute(const MQcComposition_* c, const char* key);
    static void ImagePorts(const MQcComposition_* c, bool inputs, std::vector<CQcImagePort>& list);
    // The node state of the published input's node in the file, or null.
    static const plat::Value& PublishedNodeState(const MQcComposition_* c, const std::string& key);

    plat::Ref<plat::Composition> fCompo;
    std::string fPath;
};
