#include "net/ChunkedBodyReader.h"

#include <algorithm>
#include <string>

namespace utility {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A connection that ends inside the framing is a cut body, never a complete one.
bool readByte(IHttpConnection& connection, char& byte) { return connection.read(&byte, 1) == 1; }

}  // namespace

int ChunkedBodyReader::read(IHttpConnection& connection, char* buffer, int capacity) {
    if (remainingInChunk_ == 0) {
        const int size = readChunkSize(connection);
        if (size <= 0) return size;
        remainingInChunk_ = size;
    }
    const int n = connection.read(buffer, std::min(remainingInChunk_, capacity));
    if (n <= 0) return -1;
    remainingInChunk_ -= n;
    if (remainingInChunk_ == 0 && !readChunkEnd(connection)) return -1;
    return n;
}

// The size line, one byte at a time so that no data byte is taken with it.
int ChunkedBodyReader::readChunkSize(IHttpConnection& connection) {
    std::string line;
    while (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0) {
        char byte = 0;
        if (static_cast<int>(line.size()) == kMaxSizeLine || !readByte(connection, byte)) return -1;
        line.push_back(byte);
    }
    line.resize(line.size() - 2);
    if (line.empty()) return -1;
    int size = 0;
    for (char c : line) {
        const int digit = hexDigit(c);
        if (digit < 0 || size > (0x7FFFFFFF >> 4)) return -1;
        size = size * 16 + digit;
    }
    return size;
}

bool ChunkedBodyReader::readChunkEnd(IHttpConnection& connection) {
    char cr = 0;
    char lf = 0;
    return readByte(connection, cr) && readByte(connection, lf) && cr == '\r' && lf == '\n';
}

}  // namespace utility
