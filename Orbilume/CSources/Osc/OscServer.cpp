#include "Orbilume/CSources/Osc/OscServer.h"

#include <cstring>

#include "Common/Mac/CRunLoopSignal.h"
#include "Common/Stream/CMemStream.h"
#include "Orbilume/CSources/Net/CUdpSocket.h"
#include "Orbilume/CSources/Osc/OscListener.h"
#include "Orbilume/CSources/Osc/OscWriter.h"
#include "Platform/Foundation/Check.h"

OscServer::OscServer(OscListener* listener)
    : fListener(listener),
      fSignal(std::make_unique<CRunLoopSignal>(this, &OscServer::Perform)),
      fSocket(std::make_unique<CUdpSocket>(this, &OscServer::Ready)) {
    fArgs.reserve(64);
}

OscServer::~OscServer() {
    Close();
    fSignal.reset();
    fSocket.reset();
}

int OscServer::Open(uint16_t port, uint32_t localAddress) {
    CNetAddress local = CNetAddress::IPv4(localAddress, port);
    if (fSocket->Open(port, CUdpSocket::kFamilyIPv4, 0, 0, localAddress ? &local : nullptr) != 0) {
        int error = fSocket->LastError();
        return error ? error : 1;
    }
    ReceivePass();
    return 0;
}

void OscServer::Close() {
    fSocket->Close();
}

bool OscServer::IsOpen() const {
    return fSocket->IsOpen();
}

uint16_t OscServer::LocalPort() const {
    return fSocket->LocalPort();
}

void OscServer::Ready(void* self, int event) {
    if (event == CUdpSocket::kReadable) static_cast<OscServer*>(self)->fSignal->Signal();
}

void OscServer::Perform(void* self) {
    static_cast<OscServer*>(self)->ReceivePass();
}

void OscServer::ReceivePass() {
    for (uint32_t i = 0; i < kDatagramsPerPass; ++i) {
        CNetAddress source;
        int32_t n = fSocket->RecvFrom(source, fBuffer, kMaxDatagram);
        if (n <= 0) return;  // nothing more: the watcher calls again when data arrives
        fBuffer[n] = 0;      // a text argument always ends inside the buffer
        HandleDatagram(fBuffer, uint32_t(n), source);
    }
    fSignal->Signal();  // more may wait: the next pass comes after the loop's other work
}

void OscServer::HandleDatagram(const uint8_t* data, uint32_t length, const CNetAddress& source) {
    ++fDatagrams;
    fParser.Reset();
    fArgs.clear();
    bool inMessage = false;
    const uint8_t* cursor = data;
    const uint8_t* end = data + length;
    for (;;) {
        switch (fParser.Feed(cursor, end)) {
            case OscParser::kNeedMore:
                if (inMessage) ++fDropped;  // cut short
                return;
            case OscParser::kBadMessage:
                ++fDropped;
                inMessage = false;
                break;
            case OscParser::kMessageStart:
                // A message cut at its element's end never completes: its arguments go with it.
                if (inMessage) ++fDropped;
                fArgs.clear();
                inMessage = true;
                break;
            case OscParser::kArgument: {
                OscArg a;
                a.tag = uint8_t(fParser.CurrentTag());
                switch (a.tag) {
                    case 'b':
                        a.value.b = cursor;
                        a.size = fParser.BlobLength();
                        break;
                    case 'f':
                        a.value.f = fParser.Float();
                        break;
                    case 'i':
                        a.value.i = fParser.Int();
                        break;
                    case 's':
                        a.value.s = reinterpret_cast<const char*>(cursor);
                        break;
                    case 't':
                        a.value.t = fParser.TimeTag();
                        break;
                    default:
                        break;
                }
                fArgs.push_back(a);
                break;
            }
            case OscParser::kMessageEnd:
                if (inMessage) Deliver(source);
                fArgs.clear();
                inMessage = false;
                break;
            default:
                break;
        }
    }
}

void OscServer::Deliver(const CNetAddress& source) {
    if (fParser.Address() == "/ping") {
        Pong(source);
        return;
    }
    fPattern.Compile(fParser.Address().c_str());
    if (fListener) fListener->NotifyOsc(fPattern, fArgs.data(), uint32_t(fArgs.size()));
}

void OscServer::Pong(const CNetAddress& source) {
    uint8_t out[kMaxDatagram];
    CMemStream stream(out, sizeof out);
    OscWriter writer;
    writer.WriteMessage(stream, "/pong", fArgs.data(), uint32_t(fArgs.size()));
    if (stream.HasError()) return;  // would not fit: no half reply
    if (fSocket->IsOpen()) (void)fSocket->SendTo(source, out, uint32_t(stream.Position()));
}
