#pragma once

#include <sys/socket.h>
#include <sys/types.h>

// The socket calls through which the network classes move data. Tests replace entries to inject
// errors the kernel rarely gives; product code never changes them. Main thread or owner threads;
// swap entries only while no socket is in use.
struct SNetSysCalls {
    ssize_t (*sendTo)(int fd, const void* data, size_t length, int flags, const sockaddr* to,
                      socklen_t toLength);
    ssize_t (*recvFrom)(int fd, void* buffer, size_t size, int flags, sockaddr* from, socklen_t* fromLength);
    ssize_t (*recvMsg)(int fd, msghdr* message, int flags);
    ssize_t (*send)(int fd, const void* data, size_t length, int flags);
    ssize_t (*recv)(int fd, void* buffer, size_t size, int flags);
};

SNetSysCalls& NetSysCalls();
// Restores the system's calls.
void ResetNetSysCalls();
