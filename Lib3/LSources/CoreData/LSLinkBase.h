#pragma once

#include <cstdint>

// Node of an intrusive singly linked list, embedded in its owner (usually as a base).
// next == nullptr: in no list. next == this: the shared end sentinel.
class SSLink {
public:
    SSLink() = default;
    virtual ~SSLink() = default;
    // A copy is a new object and starts outside any list; assignment keeps the target's own link.
    SSLink(const SSLink&) {}
    SSLink& operator=(const SSLink&) { return *this; }

    bool IsLinked() const { return next != nullptr; }
    bool IsEnd() const { return next == this; }

    SSLink* next = nullptr;

private:
    friend class LSLinkBase;
    struct EndTag {};
    explicit SSLink(EndTag) : next(this) {}
};

// Head of an intrusive list of SSLink nodes. Every chain ends at one shared sentinel node, which is
// never written. The head embeds a node whose next is the first node, so an empty list's last is
// that node and appending works the same whether the list is empty or not.
//
// Walk: for (SSLink* n = list.First(); !n->IsEnd(); n = n->next) ...
class LSLinkBase {
public:
    LSLinkBase();
    virtual ~LSLinkBase();  // unlinks, never deletes

    LSLinkBase(const LSLinkBase&) = delete;
    LSLinkBase& operator=(const LSLinkBase&) = delete;

    static SSLink* End();

    SSLink* First() const { return mHead.next; }
    // The last node, or the head's own node when the list is empty.
    SSLink* Last() const { return mLast; }
    bool IsEmpty() const { return mHead.next == End(); }
    uint32_t Count() const;

    // Insertions ignore a null node and one already in a list; they return whether they linked it.
    bool Insert(SSLink* node);
    bool Append(SSLink* node);
    // After `after` (which must be in this list), or at the front when it is null.
    bool InsertAfter(SSLink* node, SSLink* after);

    bool Remove(SSLink* node);
    SSLink* RemoveFirst();
    SSLink* RemoveLast();
    // Unlinks the node after `node` (the first node when null); null when there is none.
    SSLink* RemoveNext(SSLink* node);

    // Moves every node to the end of `other`; this list becomes empty.
    void Detach(LSLinkBase& other);

    SSLink* operator[](uint32_t index) const;

    void RemoveAll();
    // Unlinks each node from the front and deletes it.
    void DeleteAll();

private:
    SSLink* Before(const SSLink* node);
    void Reset();

    SSLink mHead;
    SSLink* mLast;
};
