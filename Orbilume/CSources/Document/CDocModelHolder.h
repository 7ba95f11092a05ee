#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

class CStream;
class LString;

// The record holder of one show document: a fresh OBMX root (its six sub-records made with it),
// the document file's path against which stored file paths are made relative, and the rule that
// keeps the edited sequence (SCNS field 16) on the same sequence while 'sqns' changes.
// Main thread only.
class CDocModelHolder : public CRecordHolder {
public:
    CDocModelHolder();

    void Notify(const SRecordEvent& event) override;
    // Saved layers are read as the hookless layer type, so they hold the inputs they were saved with.
    const CRecordType* ResolveType(uint32_t domain, uint32_t type, const CRecord* parent,
                                   uint32_t field) override;

    const LFsSpec& DocumentPath() const { return mPath; }
    void SetDocumentPath(const LFsSpec& path) { mPath = path; }

    // Record references into the tree (valid while the root lives).
    CRecordRef Mix();
    CRecordRef Scenes();
    CRecordRef BlendControl();
    CRecordRef SceneControl();
    CRecordRef SequenceControl();
    CRecordRef Schedule();

    // The document as XML; the run-time fields of the scene record start at their defaults. Reading
    // answers false when no document root was found or records nested too deep.
    [[nodiscard]] bool ReadXml(CStream& in);
    void WriteXml(CStream& out) const;
    [[nodiscard]] bool WriteXmlFile(const char* path) const;

    // Stored-path texts of files named in the document (see UFsPath).
    LString MakeStoredPath(const LFsSpec& file) const;
    LFsSpec ResolveStoredPath(const LString& text) const;

private:
    CRecordRef Sub(uint32_t field);
    void ResetRunTimeFields();
    void FollowSequenceChange(const SRecordEvent& event);

    LFsSpec mPath;
};
