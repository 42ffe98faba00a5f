#pragma once
// One IPv4 TCP socket at a time, with bounded waits. cancel() may be called from another thread: it
// ends a blocked connect, send or receive at once and keeps any later socket from opening.

#include <winsock2.h>

#include <atomic>

#include "utility/ScopedHandle.h"

namespace utility {

class CTcpSocket {
public:
    CTcpSocket();
    ~CTcpSocket() { close(); }
    CTcpSocket(const CTcpSocket&) = delete;
    CTcpSocket& operator=(const CTcpSocket&) = delete;

    bool isOpen() const { return socket_.load() != INVALID_SOCKET; }
    bool cancelled() const { return cancelled_.load(); }
    // A new stream socket; fails when one is open already or once cancelled.
    bool open();
    // Shuts down both directions and closes, so that open() may make the next socket. Any thread.
    void close();
    // Closes for good: this and every later call fails. Any thread.
    void cancel();
    // Waits at most timeoutMs for the server to accept; the socket blocks again afterwards.
    bool connect(const sockaddr_in& address, DWORD timeoutMs);
    // A send or receive that moves no byte for this long fails with WSAETIMEDOUT.
    bool setStallTimeout(DWORD timeoutMs);
    // Sends every byte, continuing after partial sends.
    bool sendAll(const char* data, int length);
    // One receive of at most size bytes: what recv returns, but never 0 (an end) after a cancel.
    int receive(char* buffer, int size);

private:
    bool awaitConnect(SOCKET socket, HANDLE connected, DWORD timeoutMs);

    std::atomic<SOCKET> socket_{INVALID_SOCKET};
    std::atomic<bool> cancelled_{false};
    // Set by cancel(), never reset: wakes a connect that waits for the server.
    UniqueHandle cancelEvent_;
};

}  // namespace utility
