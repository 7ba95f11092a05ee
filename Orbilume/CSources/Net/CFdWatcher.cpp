#include "Orbilume/CSources/Net/CFdWatcher.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "Common/Posix/CPsxCond.h"
#include "Common/Posix/CPsxMutex.h"
#include "Common/Posix/CPsxThread.h"

namespace {

struct Entry {
    int fd;
    int kind;
    void* context;
    CFdWatcher::Callback callback;
    uint64_t serial;  // tells a reused descriptor number from the one poll saw
    bool armed = false;
    bool dead = false;  // poll reported it invalid
};

void SetBlocking(int fd, bool blocking) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0) return;
    fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

}  // namespace

class CFdWatcher::Watcher {
public:
    Watcher() {
        if (pipe2(fPipe, O_NONBLOCK | O_CLOEXEC) != 0) fPipe[0] = fPipe[1] = -1;
        (void)fThread.Start(&Body, this, 0);  // a thread that did not start shows in IsRunning()
    }
    ~Watcher() {
        fThread.Join();
        if (fPipe[0] >= 0) close(fPipe[0]);
        if (fPipe[1] >= 0) close(fPipe[1]);
    }

    void Wake() {
        uint8_t b = 1;
        if (fPipe[1] >= 0) (void)!write(fPipe[1], &b, 1);
    }
    Entry* Find(int fd, int kind) {
        for (Entry& e : fEntries)
            if (e.fd == fd && e.kind == kind) return &e;
        return nullptr;
    }
    Entry* FindSerial(uint64_t serial) {
        for (Entry& e : fEntries)
            if (e.serial == serial) return &e;
        return nullptr;
    }

    std::vector<Entry> fEntries;  // process mutex
    uint64_t fNextSerial = 1;
    bool fStop = false;      // process mutex
    bool fDetached = false;  // the thread frees the watcher itself
    // The descriptors of the poll in progress: a closed socket stays alive while poll holds it, so
    // Unregister waits for that poll to end before the owner closes the descriptor.
    std::vector<int> fPolledFds;  // process mutex
    bool fInPoll = false;         // process mutex
    uint64_t fPolls = 0;          // polls ended; process mutex
    CPsxCond fPollEnded;
    CPsxThread fThread;

private:
    static void Body(void* self) { static_cast<Watcher*>(self)->Run(); }
    void Run();
    void Report(const std::vector<pollfd>& polled, const std::vector<uint64_t>& serials);

    int fPipe[2];
};

namespace {
CFdWatcher::Watcher* gWatcher = nullptr;  // process mutex
}

CPsxMutex& CFdWatcher::Mutex() {
    static CPsxMutex* mutex = new CPsxMutex;  // never destroyed: threads may outlive static teardown
    return *mutex;
}

bool CFdWatcher::IsRunning() {
    CPsxMutex::Locker lock(Mutex());
    return gWatcher != nullptr;
}

void CFdWatcher::Register(int fd, void* context, Callback callback) {
    if (fd < 0) return;
    SetBlocking(fd, false);
    CPsxMutex::Locker lock(Mutex());
    if (!gWatcher) gWatcher = new Watcher;
    for (int kind : {kRead, kWrite}) {
        Entry e{fd, kind, context, callback, gWatcher->fNextSerial++};
        gWatcher->fEntries.push_back(e);
    }
}

void CFdWatcher::Arm(int fd, int kind) {
    CPsxMutex::Locker lock(Mutex());
    if (!gWatcher) return;
    Entry* e = gWatcher->Find(fd, kind);
    if (!e || e->armed || e->dead) return;
    e->armed = true;
    gWatcher->Wake();
}

void CFdWatcher::Unregister(int fd) {
    Watcher* finished = nullptr;
    Mutex().Lock();
    if (Watcher* w = gWatcher) {
        auto& v = w->fEntries;
        for (size_t i = v.size(); i-- > 0;)
            if (v[i].fd == fd) v.erase(v.begin() + i);
        if (v.empty()) {
            gWatcher = nullptr;
            w->fStop = true;
            w->Wake();
            // From a callback the thread cannot wait for itself: it frees the watcher on its way out.
            if (w->fThread.IsCurrent())
                w->fDetached = true;
            else
                finished = w;
        } else {
            w->Wake();
            bool polled = std::find(w->fPolledFds.begin(), w->fPolledFds.end(), fd) != w->fPolledFds.end();
            if (w->fInPoll && polled && !w->fThread.IsCurrent()) {
                for (uint64_t polls = w->fPolls; w->fPolls == polls && w->fInPoll;)
                    w->fPollEnded.Wait(Mutex().Native());
            }
        }
    }
    Mutex().Unlock();
    delete finished;  // joins the thread, which takes the mutex once more before it ends
    if (fd >= 0) SetBlocking(fd, true);
}

void CFdWatcher::Watcher::Run() {
    if (CPsxThread::RealTimeAllowed()) CPsxThread::SetCurrentPriority(SCHED_RR, 1);
    std::vector<pollfd> polled;
    std::vector<uint64_t> serials;
    Mutex().Lock();
    while (!fStop) {
        polled.assign(1, pollfd{fPipe[0], POLLIN, 0});
        serials.assign(1, 0);
        fPolledFds.clear();
        for (const Entry& e : fEntries) {
            if (!e.armed) continue;
            polled.push_back(pollfd{e.fd, short(e.kind == kRead ? POLLIN : POLLOUT), 0});
            serials.push_back(e.serial);
            fPolledFds.push_back(e.fd);
        }
        fInPoll = true;
        Mutex().Unlock();
        int n = poll(polled.data(), polled.size(), -1);
        if (n < 0 && errno != EINTR) usleep(100000);  // ENOMEM: try again later
        uint8_t drain[64];
        while (fPipe[0] >= 0 && read(fPipe[0], drain, sizeof drain) > 0) {
        }
        Mutex().Lock();
        fInPoll = false;
        ++fPolls;
        fPollEnded.Broadcast();
        if (n > 0 && !fStop) Report(polled, serials);
    }
    bool detached = fDetached;
    Mutex().Unlock();
    if (detached) delete this;  // the thread object detaches itself
}

void CFdWatcher::Watcher::Report(const std::vector<pollfd>& polled, const std::vector<uint64_t>& serials) {
    for (size_t i = 1; i < polled.size(); ++i) {
        if (polled[i].revents == 0 || fStop) continue;
        // A callback may have unregistered or re-registered anything: look the entry up again.
        Entry* e = FindSerial(serials[i]);
        if (!e || !e->armed) continue;
        e->armed = false;
        if (polled[i].revents & POLLNVAL) e->dead = true;
        void* context = e->context;
        Callback callback = e->callback;
        int kind = e->kind;
        callback(context, kind);
    }
}
