#pragma once

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/Fs/LFsSpec.h"

// The texts a document stores for the files it names. A stored text is a relative reference
// (percent-encoded segments, as in a URL) from one of three bases: the document's folder, the
// user's Documents folder, the home folder; a file inside none of them is stored as its absolute
// POSIX path. A folder contains a file only at a segment boundary ("Documents2" is not inside
// "Documents").
class UFsPath {
public:
    // The standard bases are the platform's Documents and home folders.
    static LString MakeDocRelative(const LFsSpec& file, const LFsSpec& document);
    static LString MakeDocRelative(const LFsSpec& file, const LFsSpec& document, const LFsSpec& documents,
                                   const LFsSpec& home);

    // The file a stored text names: an absolute path as it is; a relative one against the
    // document's folder, then Documents, then home, the first that exists; when none exists, the
    // first base that applies. Empty for empty text.
    static LFsSpec ResolveDocRelative(const LString& stored, const LFsSpec& document);
    static LFsSpec ResolveDocRelative(const LString& stored, const LFsSpec& document,
                                      const LFsSpec& documents, const LFsSpec& home);

    // As above, answering whether an existing item was found. When no candidate exists and
    // foundBySearch is given, the document's folder is searched breadth-first for an item named as
    // the text's %-decoded last segment (hidden items skipped, links to folders not entered, at
    // most kSearchDepth levels and kSearchEntries entries); a hit sets *foundBySearch to 1. On a miss
    // out holds the last candidate tried (empty when none could be formed).
    static constexpr uint32_t kSearchDepth = 8;
    static constexpr uint32_t kSearchEntries = 10000;
    [[nodiscard]] static bool ResolveDocRelative(const LString& stored, const LFsSpec& document,
                                                 const LFsSpec& documents, const LFsSpec& home, LFsSpec& out,
                                                 int* foundBySearch);
    [[nodiscard]] static bool ResolveDocRelative(const LString& stored, const LFsSpec& document, LFsSpec& out,
                                                 int* foundBySearch);

    // The spec text of the folder holding the item, with a trailing "/"; empty for an empty spec.
    static LString ParentFolderText(const LFsSpec& spec);
    // The spec text of a folder with a trailing "/".
    static LString FolderText(const LFsSpec& folder);
    // The relative text below the folder text (which ends in "/") when the file lies inside it.
    static bool RelativeTo(const LFsSpec& file, const LString& folderText, LString& relative);
};
