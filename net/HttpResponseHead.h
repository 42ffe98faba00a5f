#pragma once
// What a response header says about its body, as both back-ends report it to the client.

#include <cstdint>
#include <string>

namespace utility {

// What the response header says about the body.
struct HttpResponseHead {
    int status = 0;
    // -1 when the answer has none.
    int64_t contentLength = -1;
    // The body still carries chunked transfer coding (only back-ends that pass the raw body).
    bool chunked = false;
    // ETag, else Last-Modified: what a resumed request sends back in If-Range. Empty when neither came.
    std::string validator;
    // From Content-Range of a 206: the first byte it holds, and the whole size (-1 when "*" or absent).
    int64_t rangeStart = -1;
    int64_t rangeTotal = -1;
};

// Reads "bytes START-END/TOTAL" (TOTAL may be "*") into rangeStart and rangeTotal; false, leaving
// them as they were, for anything else.
bool readContentRange(const std::string& value, HttpResponseHead& head);

}  // namespace utility
