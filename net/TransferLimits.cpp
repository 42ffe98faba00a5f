#include "net/TransferLimits.h"

#include <mutex>

namespace utility {

namespace {

std::mutex g_limitsLock;
TransferLimits g_limits;

}  // namespace

TransferLimits transferLimits() {
    std::lock_guard<std::mutex> guard(g_limitsLock);
    return g_limits;
}

void setTransferLimits(const TransferLimits& limits) {
    std::lock_guard<std::mutex> guard(g_limitsLock);
    g_limits = limits;
}

}  // namespace utility
