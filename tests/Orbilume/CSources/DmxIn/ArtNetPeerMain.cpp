// A receiver process for the multiplexer tests: ArtNetPeerMain folder [seconds]. It runs an
// Art-Net receiver sharing UDP 6454 through the socket in folder and prints one line per change
// of its link ("link connected=C serving=S") and per ArtDmx of port address 0 ("frame F", F the
// first slot), until the time is up or its stdin closes.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "Orbilume/CSources/DmxIn/CArtNetIn.h"
#include "tests/Orbilume/CSources/Net/NetTestLoop.h"

namespace {

void Frame(void*, const CNetAddress&, uint32_t length, const uint8_t* d) {
    dmxpkt::ArtDmxView v;
    if (!dmxpkt::AcceptArtDmx(d, length, 0, &v) || v.length == 0) return;
    std::printf("frame %u\n", unsigned(v.slots[0]));
    std::fflush(stdout);
}

bool StdinClosed() {
    pollfd p{0, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return false;
    char c;
    return read(0, &c, 1) <= 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    double seconds = argc > 2 ? std::atof(argv[2]) : 30;
    nettest::MainLoop main;
    LHandler root{nullptr};
    CUdpMuxLink::Config c;
    c.folder = argv[1];
    CArtNetIn in(&root, main.Loop(), nullptr, &Frame, c);
    (void)in.Start();
    int connected = -1, serving = -1;
    auto t0 = std::chrono::steady_clock::now();
    bool done = false;
    while (!done) {
        main.RunUntil([] { return false; }, 0.005);
        int nc = in.IsConnected(), ns = in.Link().IsServing();
        if (nc != connected || ns != serving) {
            connected = nc;
            serving = ns;
            std::printf("link connected=%d serving=%d\n", nc, ns);
            std::fflush(stdout);
        }
        done = StdinClosed() ||
               std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() > seconds;
    }
    return 0;
}
