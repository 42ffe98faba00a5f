#pragma once
// Decodes a "Transfer-Encoding: chunked" body read from a raw connection, block by block.

#include "net/HttpConnection.h"

namespace utility {

class ChunkedBodyReader {
public:
    // Longest size line accepted: hexadecimal digits and CR LF. Chunk extensions are not accepted.
    static constexpr int kMaxSizeLine = 10;

    // Body bytes into buffer: how many, 0 at the final zero-size chunk, -1 for a malformed or cut body.
    int read(IHttpConnection& connection, char* buffer, int capacity);

private:
    int readChunkSize(IHttpConnection& connection);
    bool readChunkEnd(IHttpConnection& connection);

    int remainingInChunk_ = 0;
};

}  // namespace utility
