#pragma once

#include <cstdint>

#include "Common/Container/CArray.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"

// Ordered list of {context, function} callbacks that may be changed, or even destroyed, while it is
// being walked: live iterators are told about every removal, so none skips or repeats an entry.
class LCallbackList {
public:
    using AnyFunction = void (*)();
    // The signature Call uses: function(context, 1, argument); non-zero stops the walk.
    using CallFunction = int (*)(void* context, int selector, void* argument);

    struct Entry {
        void* context = nullptr;
        AnyFunction function = nullptr;

        // Wraps any function pointer; callers read it back with As<>() using the same type.
        template <class F>
        static Entry Of(void* context, F* function) {
            return {context, reinterpret_cast<AnyFunction>(function)};
        }
        template <class F>
        F* As() const {
            return reinterpret_cast<F*>(function);
        }
        bool operator==(const Entry&) const = default;
    };

    // Walks the entries in order; registers with the list while it lives.
    class Iterator : public SSLink {
    public:
        explicit Iterator(LCallbackList& list);
        ~Iterator() override;
        Iterator(const Iterator&) = delete;
        Iterator& operator=(const Iterator&) = delete;

        // Copies the next entry out; false at the end or once the list is gone.
        bool Next(Entry& entry);

    private:
        friend class LCallbackList;
        LCallbackList* mList;
        uint32_t mIndex = 0;
    };

    LCallbackList() = default;
    ~LCallbackList();

    LCallbackList(const LCallbackList&) = delete;
    LCallbackList& operator=(const LCallbackList&) = delete;

    // Appends unless the function is null or an equal entry is present; true when added.
    bool Add(const Entry& entry);
    template <class F>
    bool Add(void* context, F* function) {
        return Add(Entry::Of(context, function));
    }
    // Removes the last equal entry; true when one was found.
    bool Remove(const Entry& entry);
    template <class F>
    bool Remove(void* context, F* function) {
        return Remove(Entry::Of(context, function));
    }

    // Calls every entry as CallFunction(context, 1, argument); true when one answered non-zero.
    bool Call(void* argument);

    uint32_t Count() const { return mEntries.Count(); }
    bool IsEmpty() const { return mEntries.IsEmpty(); }
    const Entry& operator[](uint32_t i) const { return mEntries[i]; }

private:
    uint32_t FindLast(const Entry& entry) const;

    CArray<Entry> mEntries;
    LSLinkBase mIterators;
};
