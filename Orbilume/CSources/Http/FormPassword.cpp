#include "Orbilume/CSources/Http/FormPassword.h"

#include <sodium.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

// Argon2id at a few milliseconds per check on the main thread (about 5 ms here: 3 passes over 1 MiB).
constexpr unsigned long long kOpsLimit = 3;
constexpr size_t kMemLimit = size_t(1) << 20;

bool Ready() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

}  // namespace

std::string FormPassword::Store(const std::string& password) {
    if (password.empty() || !Ready()) return std::string();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), kOpsLimit, kMemLimit) != 0)
        return std::string();
    return std::string(out);
}

FormPassword::Result FormPassword::Verify(const std::string& stored, const std::string& candidate) {
    if (!IsSet(stored)) return kNoPassword;
    const bool wellFormed =
        Ready() && stored.size() < crypto_pwhash_STRBYTES && stored.find('\0') == std::string::npos &&
        stored.compare(0, std::strlen(crypto_pwhash_STRPREFIX), crypto_pwhash_STRPREFIX) == 0;
    if (!wellFormed) {
        static std::atomic<bool> told{false};
        if (!told.exchange(true))
            std::fprintf(stderr,
                         "operation panel: the stored password is unreadable; every password is refused\n");
        return kMismatch;
    }
    return crypto_pwhash_str_verify(stored.c_str(), candidate.data(), candidate.size()) == 0 ? kMatch
                                                                                             : kMismatch;
}

void FormAccess::SetStored(const std::string& stored) {
    if (stored == fStored) return;
    fStored = stored;
    fAuthorised.clear();
    fFailures.clear();
}

FormAccess::Failures* FormAccess::FindFailures(uint32_t address) {
    for (Failures& f : fFailures)
        if (f.address == address) return &f;
    return nullptr;
}

void FormAccess::NoteFailure(uint32_t address, uint32_t nowMs) {
    Failures* f = FindFailures(address);
    if (!f || nowMs - f->firstMs >= kFailureWindowMs) {
        if (!f) {
            if (fFailures.size() >= kMaxAuthorised) fFailures.erase(fFailures.begin());
            fFailures.push_back(Failures{address, nowMs, 0, 0, false});
            f = &fFailures.back();
        }
        f->firstMs = nowMs;
        f->count = 0;
    }
    if (++f->count >= kMaxFailures) {
        f->locked = true;
        f->lockedFromMs = nowMs;
    }
}

bool FormAccess::Check(uint32_t address, bool hasCredentials, const std::string& password, uint32_t nowMs) {
    // Newest first: the clients of the moment.
    if (std::find(fAuthorised.rbegin(), fAuthorised.rend(), address) != fAuthorised.rend()) return true;
    if (!FormPassword::IsSet(fStored)) return true;  // nobody is remembered
    if (Failures* f = FindFailures(address); f && f->locked) {
        if (nowMs - f->lockedFromMs < kLockMs) return false;
        *f = Failures{address, nowMs, 0, 0, false};
    }
    if (!hasCredentials) return false;
    ++fVerifications;
    if (FormPassword::Verify(fStored, password) != FormPassword::kMatch) {
        NoteFailure(address, nowMs);
        return false;
    }
    if (fAuthorised.size() >= kMaxAuthorised) fAuthorised.erase(fAuthorised.begin());
    fAuthorised.push_back(address);
    if (Failures* f = FindFailures(address)) fFailures.erase(fFailures.begin() + (f - fFailures.data()));
    return true;
}
