#include "Orbilume/CSources/Net/NetSysCalls.h"

namespace {
SNetSysCalls SystemCalls() {
    return {&::sendto, &::recvfrom, &::recvmsg, &::send, &::recv};
}
}  // namespace

SNetSysCalls& NetSysCalls() {
    static SNetSysCalls calls = SystemCalls();
    return calls;
}

void ResetNetSysCalls() {
    NetSysCalls() = SystemCalls();
}
