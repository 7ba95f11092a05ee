#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordHolder.h"

class LHandler;

// Every known fixture definition ('DIDF'), kept in one 'DIDS' root sorted by name in plain byte
// order (the empty name first). Main thread only.
class CDimDefStore : public CRecordHolder {
public:
    CDimDefStore();

    // The definition of that name, or null.
    CRecord* Find(std::string_view name) const;
    uint32_t Count() const;
    CRecord* At(uint32_t index) const;
    // A reference to the definition at index for edits (valid until the array changes).
    CRecordRef RefAt(uint32_t index) const;
    CRecordRef RefOf(std::string_view name) const;

    // Takes the record and puts it at its sorted place; when a definition of that name exists the
    // new record is deleted and the existing one kept (false). No undo entry.
    bool Add(CRecord* definition);
    // A new empty definition of that name with the user flag.
    bool AddNew(std::string_view name, bool user);
    // A definition that came with a dimmer document: user and embedded flags set.
    bool AddEmbedded(CRecord* definition);
    // Removes the named definition, undoable through the editor; false when there is none.
    bool Delete(LHandler* editor, std::string_view name);

    // Folder walks enter no symbolic link to a folder, skip hidden items, go at most this deep and
    // stop after this many entries.
    static constexpr uint32_t kMaxDepth = 8;
    static constexpr uint32_t kMaxEntries = 10000;
    static constexpr size_t kMaxFileBytes = 1 << 20;
    static constexpr uint32_t kMaxDots = 170;  // per side

    struct LoadProblem {
        std::string path;
        std::string reason;
    };

    // The built-in folder with user flag 0, then the user folder with 1 (a user file named like a
    // built-in definition is ignored). Either path may be empty.
    void LoadAll(const std::string& builtInFolder, const std::string& userFolder);
    // Every file below the folder becomes a definition named after the file.
    void LoadFolder(const std::string& folder, bool user);
    // The files that were refused, with the reason; shown once after start-up.
    const std::vector<LoadProblem>& LoadReport() const { return mReport; }
    void ClearLoadReport() { mReport.clear(); }
    // The file a user definition was loaded from, or empty.
    std::string FileOf(std::string_view name) const;
    void SetFileOf(std::string_view name, const std::string& path);

    // Reads one definition file; null, with the reason, when it is refused.
    static CRecord* ReadDefinitionFile(const std::string& path, std::string& reason);
    // A definition of data: well-formed, its root a DIDF, its grid 1..170 dots on each side.
    static CRecord* ReadDefinition(std::string_view text, std::string& reason);

    // Derived values of a definition.
    static uint32_t PreChannels(const CRecord* def);
    static uint32_t PostChannels(const CRecord* def);
    static uint32_t ChannelsPerDot(const CRecord* def);
    static uint32_t CodeChannels(const CRecord* def);
    static uint64_t Footprint(const CRecord* def);
    static int32_t DotOrder(const CRecord* def, uint32_t index);
    static int32_t ChannelCode(const CRecord* def, uint32_t index);
    static uint32_t CodeArrayLength(const CRecord* def);

    // Edits of a definition, each one undo group of the editor.
    static bool SetDotOrder(LHandler* editor, CRecordRef def, uint32_t index, int32_t value);
    static void Normalize(LHandler* editor, CRecordRef def);
    static void SetPreChannels(LHandler* editor, CRecordRef def, uint32_t n);
    static void SetPostChannels(LHandler* editor, CRecordRef def, uint32_t n);
    static void SetCodeChannels(LHandler* editor, CRecordRef def, uint32_t n);
    static bool SetChannelCode(LHandler* editor, CRecordRef def, uint32_t index, int32_t value);

private:
    // Index of the first definition whose name sorts after name.
    uint32_t UpperBound(std::string_view name) const;
    void Walk(const std::string& folder, bool user, uint32_t depth, uint32_t& entries);

    std::vector<LoadProblem> mReport;
    std::unordered_map<std::string, std::string> mFiles;
};
