#pragma once

#include <chrono>
#include <string>

// Remembers the name a sender or receiver was made for; a name whose creation failed is tried
// again at most once a second while it stays.
class NdiRetry {
public:
    using Clock = std::chrono::steady_clock;
    // True when an object should be (re)made for name now.
    bool ShouldCreate(const std::string& name, bool haveObject, Clock::time_point now) const {
        if (!fTried || name != fName) return true;
        return !haveObject && now - fLastTry >= std::chrono::seconds(1);
    }
    void Tried(const std::string& name, Clock::time_point now) {
        fTried = true;
        fName = name;
        fLastTry = now;
    }
    bool NameChanged(const std::string& name) const { return !fTried || name != fName; }

private:
    bool fTried = false;
    std::string fName;
    Clock::time_point fLastTry{};
};
