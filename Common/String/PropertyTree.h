#pragma once

#include <cstdint>
#include <vector>

#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreString/LVariStr.h"

class LCharIn;
class PropertyTreeMember;

// An object of a property tree: named members in source order.
//
//   name: word, "quoted word", ...;  name: { member; member }, { ... }   # comment
class PropertyTreeObject : public SSLink {
public:
    PropertyTreeObject() = default;
    // Deep copy.
    PropertyTreeObject(const PropertyTreeObject& other);
    PropertyTreeObject& operator=(const PropertyTreeObject&) = delete;
    ~PropertyTreeObject() override;

    const LSLinkBase& Members() const { return fMembers; }
    uint32_t MemberCount() const { return fMembers.Count(); }

    PropertyTreeMember* FindMember(const unsigned char* name) const;
    PropertyTreeMember* FindMember(const char* name) const {
        return FindMember(reinterpret_cast<const unsigned char*>(name));
    }
    // The first sub-object of the member, else null.
    PropertyTreeObject* FindMemberObject(const char* name) const;
    // The member's chosen value; "" without such a member.
    LString GetMemberValue(const char* name) const;

    // Takes ownership.
    void AppendMember(PropertyTreeMember* member);

private:
    LSLinkBase fMembers;
};

// A member: its name, and either value words or sub-objects.
class PropertyTreeMember : public SSLink {
public:
    explicit PropertyTreeMember(const LString& name) : fName(name) {}
    PropertyTreeMember(const PropertyTreeMember& other);
    PropertyTreeMember& operator=(const PropertyTreeMember&) = delete;
    ~PropertyTreeMember() override;

    const LString& Name() const { return fName; }
    // The last word that the legacy encoding holds unchanged (the first word when none does).
    const LString& Value() const { return fValue; }
    const LString& FirstValue() const { return fFirstValue; }
    const std::vector<LString>& Values() const { return fValues; }
    uint32_t ObjectCount() const { return fObjects.Count(); }
    PropertyTreeObject* ObjectAt(uint32_t index) const;

    void AddValue(const LString& word);
    // Takes ownership.
    void AppendObject(PropertyTreeObject* object) { fObjects.Append(object); }

private:
    LString fName;
    LString fValue;
    LString fFirstValue;
    LSLinkBase fObjects;
    std::vector<LString> fValues;
};

// Reads property-tree text. Nesting, word lengths and node counts are bounded.
class PropertyTreeReader {
public:
    enum Result : int { kOk = 0, kNoMemory = 1, kBadCharacter = 2, kSyntax = 3 };
    static constexpr int kMaxDepth = 64;
    static constexpr uint32_t kMaxWord = 64 * 1024;
    static constexpr uint32_t kMaxNodes = 1u << 20;

    explicit PropertyTreeReader(LCharIn& in) : fIn(in) {}

    // Reads members into root; stops at the first error, keeping what was built.
    [[nodiscard]] int Parse(PropertyTreeObject& root);
    [[nodiscard]] static int Parse(LCharIn& in, PropertyTreeObject& root) {
        return PropertyTreeReader(in).Parse(root);
    }

private:
    enum Kind : int { kEnd = 0, kWord = 1 };

    void Next();
    void ReadString(unsigned char quote);
    void ReadWord(unsigned char first);
    void Members(PropertyTreeObject& object, int depth);
    void Member(PropertyTreeObject& object, int depth);
    void ValueList(PropertyTreeMember& member);
    void ObjectList(PropertyTreeMember& member, int depth);
    bool Fail(int result) {
        if (fResult == kOk) fResult = result;
        return false;
    }
    bool CountNode() { return ++fNodes <= kMaxNodes || Fail(kNoMemory); }

    int fKind = kEnd;
    LVariStr<64> fToken;
    LCharIn& fIn;
    int fResult = kOk;
    uint32_t fNodes = 0;
};
