#pragma once

#include <string>
#include <vector>

namespace plat {

// Named notifications delivered synchronously, in registration order, on the posting thread.
// Main thread only.
class NotificationCenter {
public:
    using Callback = void (*)(const char* name, const void* object, void* observer);

    static NotificationCenter& Default();

    // object null: any object. name null: any name.
    void AddObserver(void* observer, Callback callback, const char* name, const void* object);
    // Removes every registration of the observer.
    void RemoveObserver(void* observer);
    void Post(const char* name, const void* object);

private:
    struct Entry {
        void* observer;
        Callback callback;
        std::string name;
        bool anyName;
        const void* object;
        bool removed;
    };
    std::vector<Entry> fEntries;
    int fPosting = 0;
};

}  // namespace plat
