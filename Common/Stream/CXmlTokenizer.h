#pragma once

#include <cstdint>

#include "Common/Stream/CMultiMatcher.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

class LCharIn;
class LStrBuf;

// A small, forgiving XML tokenizer: bytes in, start-tag, attribute, text and end-tag events out.
// No validation, no namespaces, no transcoding; character and the five predefined entity
// references become UTF-8. Comments, processing instructions and a document type declaration
// are skipped; CDATA sections are text. A zero byte ends the input.
//
// Three layers: a section scanner finds the comment, processing-instruction, CDATA and doctype
// delimiters; a markup scanner runs the tag state machine over the remaining bytes; the event
// layer turns its answers into events. Names are bounded (longer ones are cut) and text comes
// in pieces of bounded size, so memory stays bounded whatever the input.
class CXmlTokenizer {
public:
    enum Event : int {
        kEnd = 0,
        kStartTag = 1,   // TagName()
        kAttribute = 3,  // AttrName(); the value follows (ReadValue, else it comes as text events)
        kEndTag = 4,     // of an element or of an empty-element tag; the name is not reported
        kText = 5,       // TakeText()
    };
    static constexpr uint32_t kMaxName = 1024;
    static constexpr uint32_t kMaxPiece = 16384;

    explicit CXmlTokenizer(LCharIn& in);
    CXmlTokenizer(const CXmlTokenizer&) = delete;
    CXmlTokenizer& operator=(const CXmlTokenizer&) = delete;

    int Next();

    // Valid until the next start tag (TagName) or attribute (AttrName).
    const LString& TagName() const { return *fTagName; }
    const LString& AttrName() const { return *fAttrName; }
    // After kAttribute: the whole value (its pieces up to the value's end).
    LString ReadValue();
    // The same, appended to out.
    void ReadValue(LStrBuf& out);
    // After kAttribute, instead of ReadValue: the whole value where it lies in the input, when it
    // is quoted, holds no reference but to the five predefined entities (decoded where the value
    // lies) and is whole in the buffer (the common case). The bytes stay valid until the next call;
    // they are followed by the closing quote, not by a NUL. False, with nothing read, otherwise.
    bool ValueInPlace(const unsigned char*& text, uint32_t& length);
    // Appends the current text piece.
    void TakeText(LStrBuf& out) const;
    const unsigned char* PieceText() const { return fRun.Text(); }
    uint32_t PieceLength() const { return fRun.Length(); }

private:
    // Markup scanner answers.
    enum Answer : int {
        kAnsEnd = 0,
        kAnsStartTag = 1,
        kAnsAttrName = 2,
        kAnsValueEnd = 3,
        kAnsText = 4,
        kAnsEndTag = 5
    };
    enum Section : uint8_t { kOutside = 0, kComment = 2, kPI = 4, kCData = 6, kEnded = 8, kDoctype = 10 };
    enum Markup : uint8_t { kMarkText, kAfterLt, kInTag, kAfterName, kInValue, kAfterEq, kUnquoted };

    // Input and section scanner.
    bool Refill();
    bool RawByte(unsigned char& c);
    bool SectionByte(unsigned char& c, bool& cdata);
    void QueueReleased();
    void Delimiter(int pattern);
    void DoctypeByte(unsigned char c);

    // Markup scanner.
    int Scan();
    int Fast();
    bool FastValue(LStrBuf& out);
    int Run();
    int Markup(unsigned char c, bool& hold);
    int ReferenceByte(unsigned char c, bool& hold);
    void EndReference();
    void AbandonReference();
    int AnswerName(int answer);
    static const LString& CachedName(LString* cache, const unsigned char* text, uint32_t n);
    int EndValue();
    void TextByte(unsigned char c);
    void NameByte(unsigned char c);

    LCharIn& fIn;
    unsigned char fBuffer[8192];
    uint32_t fPos = 0;
    uint32_t fEnd = 0;
    bool fInputEnded = false;

    CMultiMatcher fMatcher;
    uint8_t fSection = kOutside;
    uint8_t fDoctypeQuote = 0;
    uint32_t fDoctypeDepth = 0;
    unsigned char fQueue[CMultiMatcher::kMaxLength + 1];
    bool fQueueCData = false;
    uint32_t fQueueHead = 0;
    uint32_t fQueueLength = 0;

    uint8_t fState = kMarkText;
    bool fEndTag = false;
    bool fValueEndPending = false;
    bool fRunAnswered = false;
    bool fHeld = false;
    unsigned char fHeldByte = 0;
    bool fHeldCData = false;
    unsigned char fQuote = 0;
    bool fInReference = false;
    LVariStr<64> fName;
    LVariStr<32> fReference;
    LVariStr<256> fRun;
    // Names met recently: the repeated tag and attribute names of a document are made once. Tags
    // and attributes apart, so that an attribute never replaces the name of its element.
    static constexpr uint32_t kNameCacheSize = 64;
    LString fTagNames[kNameCacheSize];
    LString fAttrNames[kNameCacheSize];
    LString fNoName;

    const LString* fTagName = &fNoName;
    const LString* fAttrName = &fNoName;
};
