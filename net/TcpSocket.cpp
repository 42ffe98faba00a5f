#include "net/TcpSocket.h"

namespace utility {

bool CTcpSocket::open() {
    if (isOpen()) return false;
    const SOCKET created = ::socket(AF_INET, SOCK_STREAM, 0);
    if (created == INVALID_SOCKET) return false;
    const BOOL reuse = FALSE;
    ::setsockopt(created, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    socket_ = created;
    return true;
}

void CTcpSocket::close() {
    const SOCKET closing = socket_.exchange(INVALID_SOCKET);
    if (closing == INVALID_SOCKET) return;
    ::shutdown(closing, SD_BOTH);
    ::closesocket(closing);
}

bool CTcpSocket::connect(const sockaddr_in& address) {
    return ::connect(socket_.load(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool CTcpSocket::sendAll(const char* data, int length) {
    int sent = 0;
    while (sent < length) {
        const int n = ::send(socket_.load(), data + sent, length - sent, 0);
        if (n <= 0) return false;
        sent += n;
    }
    return true;
}

int CTcpSocket::receive(char* buffer, int size) { return ::recv(socket_.load(), buffer, size, 0); }

}  // namespace utility
