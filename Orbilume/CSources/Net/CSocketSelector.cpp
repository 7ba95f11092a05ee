#include "Orbilume/CSources/Net/CSocketSelector.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "Lib3/LSources/CoreData/LAsyncLoop.h"
#include "Platform/Foundation/Check.h"

namespace {

CSocketSelector* gSelector = nullptr;  // main thread
uint32_t gUsers = 0;

void SetBlocking(int fd, bool blocking) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return;
    fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

}  // namespace

CSocketSelector::CSocketSelector(LAsyncLoop* loop)
    : LHandler(nullptr), fSignal(new LAsyncSignal(this, loop)) {
    if (pipe2(fPipe, O_NONBLOCK | O_CLOEXEC) != 0) fPipe[0] = fPipe[1] = -1;
    // A real-time request: refused (no privilege, or turned off), the thread runs at normal priority.
    // A thread that did not start at all shows in IsRunning().
    (void)fThread.Start(&Body, this, CPsxThread::kRealTime);
}

CSocketSelector::~CSocketSelector() {
    fMutex.Lock();
    fStop = true;
    Wake();
    fMutex.Unlock();
    fThread.Join();
    if (fPipe[0] >= 0) close(fPipe[0]);
    if (fPipe[1] >= 0) close(fPipe[1]);
    delete fSignal;
}

void CSocketSelector::Acquire(LAsyncLoop* loop) {
    PLAT_DCHECK_MAIN_THREAD();
    if (gUsers++ == 0) gSelector = new CSocketSelector(loop);
}

void CSocketSelector::Release() {
    PLAT_DCHECK_MAIN_THREAD();
    if (gUsers == 0 || --gUsers != 0) return;
    CSocketSelector* s = gSelector;
    gSelector = nullptr;
    if (s->fDispatching)
        s->fDoomed = true;
    else
        delete s;
}

bool CSocketSelector::IsRunning() {
    return gSelector && gSelector->fThread.IsRunning();
}

void CSocketSelector::Register(int fd, void* object, Callback callback) {
    PLAT_DCHECK_MAIN_THREAD();
    CSocketSelector* s = gSelector;
    if (!s || fd < 0) return;
    SetBlocking(fd, false);
    CPsxMutex::Locker lock(s->fMutex);
    for (int op : {kRead, kWrite}) s->fEntries.push_back(Entry{fd, op, object, callback, s->fNextSerial++});
}

void CSocketSelector::Unregister(int fd) {
    PLAT_DCHECK_MAIN_THREAD();
    CSocketSelector* s = gSelector;
    if (!s || fd < 0) return;
    SetBlocking(fd, true);
    CPsxMutex::Locker lock(s->fMutex);
    auto& v = s->fEntries;
    for (size_t i = v.size(); i-- > 0;) {
        if (v[i].fd != fd) continue;
        std::erase(s->fFired, v[i].serial);
        v.erase(v.begin() + i);
    }
    // The thread may be waiting on this descriptor: let it rebuild its set before the close.
    s->Wake();
    if (s->fInPoll && std::find(s->fPolledFds.begin(), s->fPolledFds.end(), fd) != s->fPolledFds.end()) {
        for (uint64_t polls = s->fPolls; s->fPolls == polls && s->fInPoll;)
            s->fPollEnded.Wait(s->fMutex.Native());
    }
}

void CSocketSelector::Arm(int fd, int operation) {
    PLAT_DCHECK_MAIN_THREAD();
    CSocketSelector* s = gSelector;
    if (!s) return;
    CPsxMutex::Locker lock(s->fMutex);
    Entry* e = s->Find(fd, operation);
    if (!e || e->state != State::kIdle) return;
    e->state = State::kArmed;
    s->Wake();
}

CSocketSelector::Entry* CSocketSelector::Find(int fd, int operation) {
    for (Entry& e : fEntries)
        if (e.fd == fd && e.operation == operation) return &e;
    return nullptr;
}

CSocketSelector::Entry* CSocketSelector::FindSerial(uint64_t serial) {
    for (Entry& e : fEntries)
        if (e.serial == serial) return &e;
    return nullptr;
}

void CSocketSelector::Wake() {
    uint8_t b = 1;
    if (fPipe[1] >= 0) (void)!write(fPipe[1], &b, 1);
}

void CSocketSelector::Body(void* self) {
    static_cast<CSocketSelector*>(self)->Run();
}

void CSocketSelector::Run() {
    std::vector<pollfd> polled;
    std::vector<uint64_t> serials;
    fMutex.Lock();
    while (!fStop) {
        uint8_t drain[64];
        while (fPipe[0] >= 0 && read(fPipe[0], drain, sizeof drain) > 0) {
        }
        polled.assign(1, pollfd{fPipe[0], POLLIN, 0});
        serials.assign(1, 0);
        fPolledFds.clear();
        for (const Entry& e : fEntries) {
            if (e.state != State::kArmed) continue;
            polled.push_back(pollfd{e.fd, short(e.operation == kRead ? POLLIN : POLLOUT), 0});
            serials.push_back(e.serial);
            fPolledFds.push_back(e.fd);
        }
        fInPoll = true;
        fMutex.Unlock();
        int n = poll(polled.data(), polled.size(), -1);
        fMutex.Lock();
        fInPoll = false;
        ++fPolls;
        fPollEnded.Broadcast();
        if (n < 0 && errno != EINTR) {
            fMutex.Unlock();
            usleep(100000);  // ENOMEM: try again later
            fMutex.Lock();
            continue;
        }
        bool fired = false;
        for (size_t i = 1; n > 0 && i < polled.size(); ++i) {
            if (polled[i].revents == 0) continue;
            Entry* e = FindSerial(serials[i]);
            if (!e || e->state != State::kArmed) continue;
            // Invalid descriptors are reported once and never watched again.
            e->state = (polled[i].revents & POLLNVAL) ? State::kDead : State::kFired;
            fFired.push_back(e->serial);
            fired = true;
        }
        if (fired) fSignal->Raise();
    }
    fMutex.Unlock();
}

LMessage CSocketSelector::Handle(const LMessage& msg) {
    if (msg.Is(LAsyncSignal_X) && msg.sender == fSignal) {
        Dispatch();
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CSocketSelector::Dispatch() {
    fDispatching = true;
    while (!fDoomed) {
        fMutex.Lock();
        Entry* e = nullptr;
        while (!fFired.empty() && !e) {
            e = FindSerial(fFired.front());
            fFired.erase(fFired.begin());
        }
        if (!e) {
            fMutex.Unlock();
            break;
        }
        if (e->state == State::kFired) e->state = State::kIdle;
        void* object = e->object;
        Callback callback = e->callback;
        int op = e->operation;
        fMutex.Unlock();
        callback(object, op);
    }
    fDispatching = false;
    if (fDoomed) delete this;
}
