#pragma once

#include <cstdint>

#include "Orbilume/CSources/Net/CNetAddress.h"

// A non-blocking UDP socket, IPv4 or IPv6, with broadcast, multicast membership, interface binding
// and packet information. Readiness comes from CFdWatcher as callback(context, event) on the
// watcher thread (0 readable, 1 writable), one-shot: an operation that would block arms it again, so
// an owner reads until it gets 0 and is then called again. Socket operations run on the owner's
// thread; the callback must only post work.
class CUdpSocket {
public:
    enum : int { kReadable = 0, kWritable = 1 };
    using Callback = void (*)(void* context, int event);
    enum : uint32_t { kFamilyIPv4 = 0, kFamilyIPv6 = 1 };

    CUdpSocket(void* context, Callback callback);
    virtual ~CUdpSocket();
    CUdpSocket(const CUdpSocket&) = delete;
    CUdpSocket& operator=(const CUdpSocket&) = delete;

    virtual bool IsOpen() const { return fFd >= 0; }
    virtual uint16_t LocalPort() const { return fLocalPort; }
    // 0 on success (also when already open), 1 on failure. Family 1 is IPv6, else IPv4; reuse 1 sets
    // SO_REUSEPORT. Binds the wildcard unless a local address is given (IPv4 host order, or
    // 16 IPv6 bytes for an IPv6 socket; tests bind loopback).
    [[nodiscard]] virtual int Open(uint16_t port, uint32_t family, uint32_t scope, uint32_t reuse,
                                   const CNetAddress* local = nullptr);
    virtual void Close();
    // Bytes sent; 0 when it would block or has no buffer space (the write watch is then armed); -1
    // on other errors or when closed.
    virtual int32_t SendTo(const CNetAddress& to, const void* data, uint32_t count);
    // Datagram length, cut to size; 0 when nothing waits or the datagram was empty (the read watch
    // is then armed); -1 on other errors or when closed.
    virtual int32_t RecvFrom(CNetAddress& from, void* buffer, uint32_t size);
    // SO_BINDTODEVICE by interface name; IPv6 with index 0 takes the primary interface and keeps it
    // as scope. False when refused.
    virtual bool BindToInterface(uint32_t index);
    virtual bool JoinGroup(uint32_t group, uint32_t interfaceAddress);
    virtual bool LeaveGroup(uint32_t group, uint32_t interfaceAddress);
    // Destination address and arrival interface of each datagram (IP_PKTINFO).
    virtual bool EnablePacketInfo(bool on);
    // As RecvFrom; also the arrival interface index and the destination address (IPv4 host order),
    // each 0 when absent.
    virtual int32_t RecvMsg(CNetAddress& from, void* buffer, uint32_t size, uint32_t& interfaceIndex,
                            uint32_t& destination);

    int Fd() const { return fFd; }
    int LastError() const { return fLastError; }

private:
    static void Ready(void* self, int kind);
    bool Membership(int option, uint32_t group, uint32_t interfaceAddress);
    int32_t Received(long n, int fd);

    void* fContext;
    Callback fCallback;
    int fFd = -1;
    uint16_t fLocalPort = 0;
    uint32_t fScope = 0;
    uint32_t fFamily = kFamilyIPv4;
    int fLastError = 0;
};
