#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The panel's stored password: a salted Argon2id hash (libsodium's string form), never the password
// itself. A stored value shorter than kMinLength bytes means "no password".
class FormPassword {
public:
    static constexpr size_t kMinLength = 4;
    enum Result : uint8_t { kNoPassword, kMatch, kMismatch };

    // The value to store for a password typed by the operator: empty for the empty password (no
    // password) or when hashing fails. Two calls give different values.
    static std::string Store(const std::string& password);
    static bool IsSet(const std::string& stored) { return stored.size() >= kMinLength; }
    // Compares in constant time through the hash. A stored value that is no valid hash refuses
    // every password (reported once on stderr, without the value).
    static Result Verify(const std::string& stored, const std::string& candidate);
};

// Who may use the panel: the addresses that passed the password check (at most kMaxAuthorised, the
// oldest dropped, forgotten when the stored password changes) and a lock-out of addresses that
// keep guessing: kMaxFailures wrong passwords within kFailureWindowMs refuse that address unchecked
// for kLockMs. Times are the main loop's milliseconds.
class FormAccess {
public:
    static constexpr size_t kMaxAuthorised = 256;
    static constexpr uint32_t kMaxFailures = 5;
    static constexpr uint32_t kFailureWindowMs = 60000;
    static constexpr uint32_t kLockMs = 30000;

    // The stored password (FormPassword::Store); a changed value forgets every address.
    void SetStored(const std::string& stored);
    // True when the address may pass. The password is hashed and compared only for an address that
    // is neither authorised nor locked out and sent credentials (a request without any is refused
    // and not counted as a guess).
    bool Check(uint32_t address, bool hasCredentials, const std::string& password, uint32_t nowMs);
    size_t AuthorisedCount() const { return fAuthorised.size(); }
    // Passwords checked so far (tests: a locked-out address is refused without a check).
    uint32_t Verifications() const { return fVerifications; }

private:
    struct Failures {
        uint32_t address;
        uint32_t firstMs;
        uint32_t count;
        uint32_t lockedFromMs;
        bool locked;
    };
    Failures* FindFailures(uint32_t address);
    void NoteFailure(uint32_t address, uint32_t nowMs);

    std::string fStored;
    std::vector<uint32_t> fAuthorised;  // oldest first
    std::vector<Failures> fFailures;    // at most kMaxAuthorised, oldest dropped
    uint32_t fVerifications = 0;
};
