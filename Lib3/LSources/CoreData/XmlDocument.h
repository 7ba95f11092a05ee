#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"

class CRecord;
class CStream;

// The XML document form of record trees. Every record is an element named DOMN_TYPE after its
// type's codes; value fields that differ from their defaults are attributes named after their
// tags (multi-line texts of 33 bytes or more are CDATA field elements); record-valued fields are wrapper
// elements named DOMN_TYPE_tag holding the children. A null record is the element YUND_UDNL.

// Nesting of records deeper than this fails a read.
constexpr uint32_t kXmlMaxRecordDepth = 256;

// Cuts the stream at its position and writes the declaration and the root's element (present
// even when everything holds defaults; a null root is the null element). Errors stay in the stream.
// Text that XML 1.0 cannot carry (control characters other than tab, line feed and carriage return,
// broken UTF-8) is written as U+FFFD, so every XML reader takes the file; older files that hold
// such characters as references still read back as they were.
void WriteXmlDocument(CStream& out, const CRecord* root);

// One record element inside a parent scope is written by CRecord::WriteXml.

// Finds the first top-level element of the root's type and reads it into the root (which must
// exist): the root is reset to its defaults, then filled without undo (observers see the changes).
// 1 when the element was found and read (also when the input ended early: what was read stays);
// 0 when none was found, the scan met an element whose name is not two codes, or records nested
// deeper than kXmlMaxRecordDepth (the root is then reset to its defaults again).
[[nodiscard]] int ReadXmlDocument(CStream& in, CRecordRef root);

// Saves the document to a file without ever destroying the previous one: the text goes to a new
// file in the same folder, which is flushed to disk and then renamed over the old one. False, with
// the old file untouched, when anything fails.
[[nodiscard]] bool WriteXmlDocumentFile(const char* path, const CRecord* root);
