#pragma once
// One IPv4 TCP socket. close() may be called from another thread to break a blocked call.

#include <winsock2.h>

#include <atomic>

namespace utility {

class CTcpSocket {
public:
    CTcpSocket() = default;
    ~CTcpSocket() { close(); }
    CTcpSocket(const CTcpSocket&) = delete;
    CTcpSocket& operator=(const CTcpSocket&) = delete;

    bool isOpen() const { return socket_.load() != INVALID_SOCKET; }
    // A new stream socket; fails when one is open already.
    bool open();
    // Shuts down both directions and closes; any thread.
    void close();
    bool connect(const sockaddr_in& address);
    // Sends every byte, continuing after partial sends.
    bool sendAll(const char* data, int length);
    // One receive of at most size bytes: what recv returns.
    int receive(char* buffer, int size);

private:
    std::atomic<SOCKET> socket_{INVALID_SOCKET};
};

}  // namespace utility
