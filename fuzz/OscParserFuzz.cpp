// One OSC datagram through the server's collection loop; every delivered text and blob must lie
// inside the datagram.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Orbilume/CSources/Net/CNetAddress.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscListener.h"
#include "Orbilume/CSources/Osc/OscPattern.h"
#include "Orbilume/CSources/Osc/OscServer.h"

namespace {

const uint8_t* gBegin;
const uint8_t* gEnd;

class Checker : public OscListener {
public:
    void NotifyOsc(OscPattern& pattern, const OscArg* args, uint32_t count) override {
        (void)pattern.IsMatch("/dmx");
        for (uint32_t i = 0; i < count; ++i) {
            const OscArg& a = args[i];
            if (a.tag == 's') {
                const uint8_t* s = reinterpret_cast<const uint8_t*>(a.value.s);
                if (s < gBegin || s >= gEnd) abort();
                if (!std::memchr(s, 0, size_t(gEnd - s))) abort();  // the text ends inside
            } else if (a.tag == 'b') {
                if (a.value.b < gBegin || a.value.b > gEnd || a.size > size_t(gEnd - a.value.b)) abort();
            }
            (void)a.AsInt();
            (void)a.AsFloat();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > OscServer::kMaxDatagram) return 0;
    static Checker checker;
    static OscServer* server = new OscServer(&checker);
    // Exactly the datagram, so that the sanitizer sees any read past it.
    std::vector<uint8_t> buffer(data, data + size);
    buffer.push_back(0);  // the server keeps one zero byte after the datagram
    gBegin = buffer.data();
    gEnd = buffer.data() + size;
    server->HandleDatagram(buffer.data(), uint32_t(size), CNetAddress::IPv4(0x7f000001, 9));
    return 0;
}
