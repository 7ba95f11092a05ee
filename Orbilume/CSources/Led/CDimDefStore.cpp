#include "Orbilume/CSources/Led/CDimDefStore.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>

#include "Common/Container/CArray.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/FileIO.h"

namespace {

using T = CDimTypes;

std::string_view NameOf(const CRecord* def) {
    const LString& name = def->GetString(T::kDidfName);
    return {name.CStr(), name.Length()};
}

uint32_t IntCount(const CRecord* def, uint32_t field) {
    const CArrayBase* a = def->GetArray(field);
    return a ? a->Count() : 0;
}

int32_t IntAt(const CRecord* def, uint32_t field, uint32_t i) {
    return *static_cast<const int32_t*>(def->GetArray(field)->At(i));
}

// Brackets edits into one undo group of the editor.
class Group {
public:
    explicit Group(LHandler* editor) : mToken(CRecordUndo::BeginGroup(editor)) {}
    ~Group() { CRecordUndo::EndGroup(mToken); }
    Group(const Group&) = delete;
    Group& operator=(const Group&) = delete;

private:
    void* mToken;
};

// True when the text holds one closed DIDF root element and nothing but blanks after it.
bool RootClosed(std::string_view text) {
    size_t end = text.size();
    while (end > 0 &&
           (text[end - 1] == ' ' || text[end - 1] == '\n' || text[end - 1] == '\r' || text[end - 1] == '\t'))
        --end;
    text = text.substr(0, end);
    if (text.ends_with("</YOBM_DIDF>")) return true;
    if (!text.ends_with("/>")) return false;
    const size_t open = text.rfind('<');
    return open != std::string_view::npos && text.substr(open).starts_with("<YOBM_DIDF") &&
           (text.size() > open + 10 && (text[open + 10] == ' ' || text[open + 10] == '/' ||
                                        text[open + 10] == '\t' || text[open + 10] == '\n'));
}

}  // namespace

CRecord* CDimDefStore::ReadDefinition(std::string_view text, std::string& reason) {
    if (text.size() > kMaxFileBytes) {
        reason = "too large";
        return nullptr;
    }
    if (!RootClosed(text) || text.find("<YOBM_DIDF") == std::string_view::npos) {
        reason = "not a closed definition document";
        return nullptr;
    }
    std::string copy(text);
    CRecord* def = CRecord::New(CDimTypes::Didf());
    if (!def) {
        reason = "out of memory";
        return nullptr;
    }
    CMemStream in(copy.data(), static_cast<uint32_t>(copy.size()));
    if (ReadXmlDocument(in, CRecordRef(&def)) != 1) {
        CRecord::Delete(def);
        reason = "not a definition document";
        return nullptr;
    }
    const uint32_t columns = def->GetUInt(T::kDidfColumns), rows = def->GetUInt(T::kDidfRows);
    if (columns == 0 || rows == 0 || columns > kMaxDots || rows > kMaxDots) {
        CRecord::Delete(def);
        reason = "dot grid out of range";
        return nullptr;
    }
    return def;
}

CRecord* CDimDefStore::ReadDefinitionFile(const std::string& path, std::string& reason) {
    std::string text;
    switch (plat::ReadWholeFile(path, kMaxFileBytes, text)) {
        case plat::ReadFileResult::kOk:
            break;
        case plat::ReadFileResult::kTooLarge:
            reason = "too large";
            return nullptr;
        default:
            reason = "unreadable";
            return nullptr;
    }
    return ReadDefinition(text, reason);
}

void CDimDefStore::LoadAll(const std::string& builtInFolder, const std::string& userFolder) {
    if (!builtInFolder.empty()) LoadFolder(builtInFolder, false);
    if (!userFolder.empty()) LoadFolder(userFolder, true);
}

void CDimDefStore::LoadFolder(const std::string& folder, bool user) {
    PLAT_DCHECK_MAIN_THREAD();
    uint32_t entries = 0;
    Walk(folder, user, 0, entries);
}

void CDimDefStore::Walk(const std::string& folder, bool user, uint32_t depth, uint32_t& entries) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> names;
    while (const dirent* e = readdir(dir)) {
        if (++entries > kMaxEntries) break;
        if (e->d_name[0] == '.') continue;  // hidden, "." and ".."
        names.emplace_back(e->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (depth + 1 < kMaxDepth && entries <= kMaxEntries) Walk(path, user, depth + 1, entries);
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            // A link to a file is read; one to a folder is never entered.
            if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        } else if (!S_ISREG(st.st_mode)) {
            continue;
        }
        std::string reason;
        CRecord* def = ReadDefinitionFile(path, reason);
        if (!def) {
            mReport.push_back({path, reason});
            continue;
        }
        // The definition is named after its file, whatever its 'dfid' says.
        def->StringSlot(T::kDidfName) = LString(name.c_str(), static_cast<uint32_t>(name.size()));
        def->Slot(T::kDidfUser).u8 = user ? 1 : 0;
        if (Add(def) && user) mFiles[name] = path;
    }
}

std::string CDimDefStore::FileOf(std::string_view name) const {
    auto it = mFiles.find(std::string(name));
    return it == mFiles.end() ? std::string() : it->second;
}

void CDimDefStore::SetFileOf(std::string_view name, const std::string& path) {
    if (path.empty())
        mFiles.erase(std::string(name));
    else
        mFiles[std::string(name)] = path;
}

CDimDefStore::CDimDefStore() : CRecordHolder(CRecord::New(CDimTypes::Dids())) {}

uint32_t CDimDefStore::Count() const {
    return Root() ? Root()->ArrayCount(T::kDidsDefinitions) : 0;
}

CRecord* CDimDefStore::At(uint32_t index) const {
    return index < Count() ? Root()->GetElement(T::kDidsDefinitions, index) : nullptr;
}

CRecordRef CDimDefStore::RefAt(uint32_t index) const {
    if (index >= Count()) return CRecordRef();
    return CRecordRef(&(*Root()->GetRecordArray(T::kDidsDefinitions))[index]);
}

CRecordRef CDimDefStore::RefOf(std::string_view name) const {
    const uint32_t bound = UpperBound(name);
    return bound > 0 && NameOf(At(bound - 1)) == name ? RefAt(bound - 1) : CRecordRef();
}

uint32_t CDimDefStore::UpperBound(std::string_view name) const {
    uint32_t lo = 0, hi = Count();
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (name < NameOf(At(mid)))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

CRecord* CDimDefStore::Find(std::string_view name) const {
    const uint32_t bound = UpperBound(name);
    if (bound == 0) return nullptr;
    CRecord* before = At(bound - 1);
    return NameOf(before) == name ? before : nullptr;
}

bool CDimDefStore::Add(CRecord* definition) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!definition) return false;
    if (definition->Type() != CDimTypes::Didf() || Find(NameOf(definition))) {
        CRecord::Delete(definition);
        return false;
    }
    return RootRef().InsertRecord(nullptr, T::kDidsDefinitions, UpperBound(NameOf(definition)), definition);
}

bool CDimDefStore::AddNew(std::string_view name, bool user) {
    CRecord* def = CRecord::New(CDimTypes::Didf());
    if (!def) return false;
    def->StringSlot(T::kDidfName) = LString(name.data(), static_cast<uint32_t>(name.size()));
    def->Slot(T::kDidfUser).u8 = user ? 1 : 0;
    return Add(def);
}

bool CDimDefStore::AddEmbedded(CRecord* definition) {
    if (definition && definition->Type() == CDimTypes::Didf()) {
        definition->Slot(T::kDidfUser).u8 = 1;
        definition->Slot(T::kDidfEmbedded).u8 = 1;
    }
    return Add(definition);
}

bool CDimDefStore::Delete(LHandler* editor, std::string_view name) {
    PLAT_DCHECK_MAIN_THREAD();
    const uint32_t bound = UpperBound(name);
    if (bound == 0 || NameOf(At(bound - 1)) != name) return false;
    RootRef().DeleteElement(editor, T::kDidsDefinitions, bound - 1);
    return true;
}

uint32_t CDimDefStore::PreChannels(const CRecord* def) {
    return def->GetByte(T::kDidfComposition) == 0 ? def->GetByte(T::kDidfPrefixCount) : 0;
}

uint32_t CDimDefStore::PostChannels(const CRecord* def) {
    return def->GetByte(T::kDidfComposition) == 0 ? def->GetByte(T::kDidfSuffixCount) : 0;
}

uint32_t CDimDefStore::CodeChannels(const CRecord* def) {
    const int64_t n = int64_t{IntCount(def, T::kDidfChannels)} - def->GetByte(T::kDidfPrefixCount) -
                      def->GetByte(T::kDidfSuffixCount);
    return n > 0 ? static_cast<uint32_t>(n) : 0;
}

uint32_t CDimDefStore::ChannelsPerDot(const CRecord* def) {
    switch (def->GetByte(T::kDidfComposition)) {
        case 0:
            return CodeChannels(def);
        case 2:
        case 3:
            return 4;
        default:
            return 3;
    }
}

uint64_t CDimDefStore::Footprint(const CRecord* def) {
    uint64_t slots =
        uint64_t{ChannelsPerDot(def)} * def->GetUInt(T::kDidfColumns) * def->GetUInt(T::kDidfRows);
    if (def->GetByte(T::kDidfComposition) == 0)
        slots += def->GetByte(T::kDidfPrefixCount) + def->GetByte(T::kDidfSuffixCount);
    return slots;
}

int32_t CDimDefStore::DotOrder(const CRecord* def, uint32_t index) {
    if (index < IntCount(def, T::kDidfDotOrder)) return IntAt(def, T::kDidfDotOrder, index);
    return static_cast<int32_t>(index + 1);
}

int32_t CDimDefStore::ChannelCode(const CRecord* def, uint32_t index) {
    return index < IntCount(def, T::kDidfChannels) ? IntAt(def, T::kDidfChannels, index) : 0;
}

uint32_t CDimDefStore::CodeArrayLength(const CRecord* def) {
    return std::max<uint32_t>(IntCount(def, T::kDidfChannels),
                              def->GetByte(T::kDidfPrefixCount) + def->GetByte(T::kDidfSuffixCount));
}

bool CDimDefStore::SetDotOrder(LHandler* editor, CRecordRef def, uint32_t index, int32_t value) {
    if (!def || def->Type() != CDimTypes::Didf() || index >= (1u << 20)) return false;
    Group group(editor);
    uint32_t count = IntCount(def.Get(), T::kDidfDotOrder);
    if (count <= index) {
        Group padding(editor);
        for (; count <= index; ++count)
            if (!def.InsertArrayValue(editor, T::kDidfDotOrder, count, static_cast<int32_t>(count + 1)))
                return false;
    }
    return def.SetArrayValue(editor, T::kDidfDotOrder, index, value);
}

void CDimDefStore::Normalize(LHandler* editor, CRecordRef def) {
    if (!def || def->Type() != CDimTypes::Didf()) return;
    Group group(editor);
    for (uint32_t n = IntCount(def.Get(), T::kDidfDotOrder);
         n > 0 && IntAt(def.Get(), T::kDidfDotOrder, n - 1) == static_cast<int32_t>(n); --n)
        (void)def.RemoveArrayValue(editor, T::kDidfDotOrder, n - 1);
    if (def->GetByte(T::kDidfComposition) != 0) {
        (void)def.SetByte(editor, T::kDidfPrefixCount, 0);
        (void)def.SetByte(editor, T::kDidfSuffixCount, 0);
        (void)def.SetArray(editor, T::kDidfChannels, nullptr, 0);
    }
}

void CDimDefStore::SetPreChannels(LHandler* editor, CRecordRef def, uint32_t n) {
    if (!def || def->Type() != CDimTypes::Didf() || n > 255) return;
    uint32_t have = def->GetByte(T::kDidfPrefixCount);
    if (n == have) return;
    Group group(editor);
    // The stored count may claim more entries than the array holds.
    have = std::min(have, IntCount(def.Get(), T::kDidfChannels));
    for (; have < n; ++have) (void)def.InsertArrayValue(editor, T::kDidfChannels, have, int32_t{0});
    for (; have > n; --have) (void)def.RemoveArrayValue(editor, T::kDidfChannels, have - 1);
    (void)def.SetByte(editor, T::kDidfPrefixCount, static_cast<uint8_t>(n));
}

void CDimDefStore::SetPostChannels(LHandler* editor, CRecordRef def, uint32_t n) {
    if (!def || def->Type() != CDimTypes::Didf() || n > 255) return;
    uint32_t have = def->GetByte(T::kDidfSuffixCount);
    if (n == have) return;
    Group group(editor);
    have = std::min(have, IntCount(def.Get(), T::kDidfChannels));
    for (; have < n; ++have)
        (void)def.InsertArrayValue(editor, T::kDidfChannels, IntCount(def.Get(), T::kDidfChannels),
                                   int32_t{0});
    for (; have > n; --have)
        (void)def.RemoveArrayValue(editor, T::kDidfChannels, IntCount(def.Get(), T::kDidfChannels) - 1);
    (void)def.SetByte(editor, T::kDidfSuffixCount, static_cast<uint8_t>(n));
}

void CDimDefStore::SetCodeChannels(LHandler* editor, CRecordRef def, uint32_t n) {
    if (!def || def->Type() != CDimTypes::Didf() || n > 4096) return;
    Group group(editor);
    const uint32_t pre =
        std::min<uint32_t>(def->GetByte(T::kDidfPrefixCount), IntCount(def.Get(), T::kDidfChannels));
    uint32_t have = CodeChannels(def.Get());
    for (; have < n; ++have) (void)def.InsertArrayValue(editor, T::kDidfChannels, pre + have, int32_t{0});
    for (; have > n; --have) (void)def.RemoveArrayValue(editor, T::kDidfChannels, pre + have - 1);
}

bool CDimDefStore::SetChannelCode(LHandler* editor, CRecordRef def, uint32_t index, int32_t value) {
    if (!def || def->Type() != CDimTypes::Didf() || index >= 4096) return false;
    Group group(editor);
    if (!def.PadArray(editor, T::kDidfChannels, int32_t{0}, index + 1)) return false;
    return def.SetArrayValue(editor, T::kDidfChannels, index, value);
}
