#include "tests/net/UnansweredListener.h"

namespace testsupport {

namespace {

// Enough for any backlog the system may round a request for none up to.
constexpr int kMaxClients = 64;
// A connection the queue takes completes at once on 127.0.0.1; one still pending after this was dropped.
constexpr long kPendingProbeMicroseconds = 500 * 1000;

sockaddr_in loopback(unsigned short port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(port);
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

UnansweredListener::UnansweredListener() {
    if (!listen()) return;
    for (int i = 0; i < kMaxClients; ++i) {
        const Probe probe = connectClient();
        if (probe == Probe::Failed) return;
        if (probe == Probe::Pending) {
            port_ = listeningPort_;
            return;
        }
    }
}

UnansweredListener::~UnansweredListener() {
    for (SOCKET each : sockets_) ::closesocket(each);
}

bool UnansweredListener::listen() {
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, 0);
    if (listener == INVALID_SOCKET) return false;
    sockets_.push_back(listener);
    sockaddr_in address = loopback(0);
    int length = sizeof address;
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 0) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return false;
    }
    listeningPort_ = ::ntohs(address.sin_port);
    return true;
}

UnansweredListener::Probe UnansweredListener::connectClient() {
    const SOCKET client = ::socket(AF_INET, SOCK_STREAM, 0);
    if (client == INVALID_SOCKET) return Probe::Failed;
    sockets_.push_back(client);
    u_long nonBlocking = 1;
    if (::ioctlsocket(client, FIONBIO, &nonBlocking) != 0) return Probe::Failed;
    const sockaddr_in address = loopback(listeningPort_);
    if (::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return Probe::Queued;
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return Probe::Failed;
    fd_set connected;
    fd_set failed;
    FD_ZERO(&connected);
    FD_ZERO(&failed);
    FD_SET(client, &connected);
    FD_SET(client, &failed);
    timeval wait{0, kPendingProbeMicroseconds};
    const int ready = ::select(0, nullptr, &connected, &failed, &wait);
    if (ready == 0) return Probe::Pending;
    return ready > 0 && FD_ISSET(client, &connected) ? Probe::Queued : Probe::Failed;
}

}  // namespace testsupport
