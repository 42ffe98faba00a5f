#pragma once
// A server on 127.0.0.1 that never answers a connection request: a listening socket whose accept
// queue is full and never served, so the system drops further requests as a blackholed address
// would (this machine's network answers even for addresses that route nowhere).

#include <winsock2.h>

#include <vector>

namespace testsupport {

class UnansweredListener {
public:
    UnansweredListener();
    ~UnansweredListener();
    UnansweredListener(const UnansweredListener&) = delete;
    UnansweredListener& operator=(const UnansweredListener&) = delete;

    // 0 when no queue could be filled so that a connect to it stays pending.
    unsigned short port() const { return port_; }

private:
    enum class Probe { Queued, Pending, Failed };

    bool listen();
    // Connects one more client and tells whether the queue took it.
    Probe connectClient();

    unsigned short port_ = 0;
    unsigned short listeningPort_ = 0;
    // The listener, then its queued clients.
    std::vector<SOCKET> sockets_;
};

}  // namespace testsupport
