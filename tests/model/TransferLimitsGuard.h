#pragma once
// Transfer limits for one test, the previous ones back at its end.

#include "net/TransferLimits.h"

class TransferLimitsGuard {
public:
    explicit TransferLimitsGuard(const utility::TransferLimits& limits) : saved_(utility::transferLimits()) {
        utility::setTransferLimits(limits);
    }
    ~TransferLimitsGuard() { utility::setTransferLimits(saved_); }
    TransferLimitsGuard(const TransferLimitsGuard&) = delete;
    TransferLimitsGuard& operator=(const TransferLimitsGuard&) = delete;

    // The current limits with another stall time.
    static utility::TransferLimits withStall(unsigned long stallMs) {
        utility::TransferLimits limits = utility::transferLimits();
        limits.stallMs = stallMs;
        return limits;
    }

private:
    const utility::TransferLimits saved_;
};
