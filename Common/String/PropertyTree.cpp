#include "Common/String/PropertyTree.h"

#include <cstring>
#include <new>

#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/String/CMacUniConv.h"
#include "Lib3/LSources/String/UString.h"

namespace {

PropertyTreeMember* AsMember(SSLink* node) {
    return static_cast<PropertyTreeMember*>(node);
}
PropertyTreeObject* AsObject(SSLink* node) {
    return static_cast<PropertyTreeObject*>(node);
}

// True when the word survives UTF-8 → legacy → UTF-8 unchanged.
bool LegacyHolds(const LString& word) {
    const CMacUniConv& conv = CMacUniConv::Shared();
    LVariBuffer<unsigned char> legacy, back;
    uint32_t n = conv.TextToCString(word.Text(), legacy);
    uint32_t m = conv.CStringToText(reinterpret_cast<const char*>(legacy.Data()), n, back);
    return m == word.Length() && (m == 0 || std::memcmp(back.Data(), word.Text(), m) == 0);
}

bool IsWordByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
}

bool IsSpace(unsigned char c) {
    return c == ' ' || (c >= 9 && c <= 13);
}

}  // namespace

PropertyTreeObject::PropertyTreeObject(const PropertyTreeObject& other) : SSLink() {
    for (SSLink* n = other.fMembers.First(); !n->IsEnd(); n = n->next) {
        fMembers.Append(new PropertyTreeMember(*AsMember(n)));
    }
}

PropertyTreeObject::~PropertyTreeObject() {
    fMembers.DeleteAll();
}

void PropertyTreeObject::AppendMember(PropertyTreeMember* member) {
    fMembers.Append(member);
}

PropertyTreeMember* PropertyTreeObject::FindMember(const unsigned char* name) const {
    for (SSLink* n = fMembers.First(); !n->IsEnd(); n = n->next) {
        if (UString::IsEqual(AsMember(n)->Name().Text(), name)) return AsMember(n);
    }
    return nullptr;
}

PropertyTreeObject* PropertyTreeObject::FindMemberObject(const char* name) const {
    PropertyTreeMember* m = FindMember(name);
    return m ? m->ObjectAt(0) : nullptr;
}

LString PropertyTreeObject::GetMemberValue(const char* name) const {
    PropertyTreeMember* m = FindMember(name);
    return m ? m->Value() : LString();
}

PropertyTreeMember::PropertyTreeMember(const PropertyTreeMember& other)
    : SSLink(),
      fName(other.fName),
      fValue(other.fValue),
      fFirstValue(other.fFirstValue),
      fValues(other.fValues) {
    for (SSLink* n = other.fObjects.First(); !n->IsEnd(); n = n->next) {
        fObjects.Append(new PropertyTreeObject(*AsObject(n)));
    }
}

PropertyTreeMember::~PropertyTreeMember() {
    fObjects.DeleteAll();
}

PropertyTreeObject* PropertyTreeMember::ObjectAt(uint32_t index) const {
    return AsObject(fObjects[index]);
}

void PropertyTreeMember::AddValue(const LString& word) {
    fValues.push_back(word);
    if (fValues.size() == 1) {
        fFirstValue = word;
        fValue = word;
    } else if (LegacyHolds(word)) {
        fValue = word;
    }
}

int PropertyTreeReader::Parse(PropertyTreeObject& root) {
    fResult = kOk;
    fNodes = 0;
    Next();
    if (fResult == kOk) Members(root, 0);
    return fResult;
}

void PropertyTreeReader::Next() {
    fToken.Reset();
    fKind = kEnd;
    if (fResult != kOk) return;
    unsigned char c;
    for (;;) {
        if (!fIn.Get(c)) return;
        if (IsSpace(c)) continue;
        if (c == '#') {
            while (fIn.Get(c) && c != '\r' && c != '\n') {
            }
            continue;
        }
        break;
    }
    switch (c) {
        case '{':
        case '}':
        case ':':
        case ';':
        case ',':
            fKind = c;
            return;
        case '"':
        case '\'':
            ReadString(c);
            return;
        default:
            if (IsWordByte(c)) {
                ReadWord(c);
            } else {
                Fail(kBadCharacter);
            }
    }
}

void PropertyTreeReader::ReadString(unsigned char quote) {
    unsigned char c;
    for (;;) {
        if (!fIn.Get(c)) {
            Fail(kSyntax);
            return;
        }
        if (c == quote) break;
        if (c == '\\' && !fIn.Get(c)) {
            Fail(kSyntax);
            return;
        }
        if (fToken.Length() >= kMaxWord) {
            Fail(kSyntax);
            return;
        }
        fToken.Append(c);
    }
    fKind = kWord;
}

void PropertyTreeReader::ReadWord(unsigned char c) {
    fToken.Append(c);
    uint32_t blanks = 0;
    while (fIn.Get(c)) {
        if (c == ' ') {
            ++blanks;
        } else if (IsSpace(c)) {
            // Tabs and line ends inside a word are skipped without ending it.
        } else if (IsWordByte(c)) {
            for (; blanks > 0; --blanks) fToken.Append(' ');
            fToken.Append(c);
            if (fToken.Length() > kMaxWord) {
                Fail(kSyntax);
                return;
            }
        } else {
            fIn.Unget();
            break;
        }
    }
    fKind = kWord;
}

void PropertyTreeReader::Members(PropertyTreeObject& object, int depth) {
    Member(object, depth);
    while (fResult == kOk && fKind == ';') {
        Next();
        if (fResult == kOk) Member(object, depth);
    }
}

void PropertyTreeReader::Member(PropertyTreeObject& object, int depth) {
    if (fKind != kWord) return;
    LString name(fToken);
    Next();
    if (fResult != kOk) return;
    if (fKind != ':') {
        Fail(kSyntax);
        return;
    }
    Next();
    if (fResult != kOk) return;
    if (!CountNode()) return;
    PropertyTreeMember* member = new (std::nothrow) PropertyTreeMember(name);
    if (!member) {
        Fail(kNoMemory);
        return;
    }
    object.AppendMember(member);
    if (fKind == kWord) {
        ValueList(*member);
    } else {
        ObjectList(*member, depth);
    }
}

void PropertyTreeReader::ValueList(PropertyTreeMember& member) {
    member.AddValue(LString(fToken));
    Next();
    while (fResult == kOk && fKind == ',') {
        Next();
        if (fResult != kOk) return;
        if (fKind != kWord) {
            Fail(kSyntax);
            return;
        }
        member.AddValue(LString(fToken));
        Next();
    }
}

void PropertyTreeReader::ObjectList(PropertyTreeMember& member, int depth) {
    for (;;) {
        if (fKind != '{') return;
        if (depth >= kMaxDepth) {
            Fail(kSyntax);
            return;
        }
        if (!CountNode()) return;
        PropertyTreeObject* object = new (std::nothrow) PropertyTreeObject();
        if (!object) {
            Fail(kNoMemory);
            return;
        }
        member.AppendObject(object);
        Next();
        if (fResult != kOk) return;
        Members(*object, depth + 1);
        if (fResult != kOk) return;
        if (fKind != '}') {
            Fail(kSyntax);
            return;
        }
        Next();
        if (fResult != kOk || fKind != ',') return;
        Next();
        if (fResult != kOk) return;
    }
}
