#pragma once
// How long a transfer may wait and how much it may hold, for every back-end in one place. Tests shorten
// them before they start transfers; a transfer reads them once, when it begins.

#include <cstddef>

namespace utility {

struct TransferLimits {
    // Resolving and connecting to a server.
    unsigned long connectMs = 20000;
    // Silence on a connection that has begun: no answer to the request, or no byte of the body.
    unsigned long stallMs = 30000;
    // Redirects one request may follow.
    int maxRedirects = 10;
    // Largest answer kept in memory (version answer, channel configuration, analytics answers).
    size_t memoryAnswerBytes = 4 * 1024 * 1024;
};

TransferLimits transferLimits();
void setTransferLimits(const TransferLimits& limits);

}  // namespace utility
