#pragma once
// Transfer limits changed for one test and restored at its end, so a short bound never leaks into
// the next test. Header-only: only programs that link the network library use it.

#include "net/TransferLimits.h"

namespace testsupport {

class ScopedTransferLimits {
public:
    explicit ScopedTransferLimits(const utility::TransferLimits& limits) : saved_(utility::transferLimits()) {
        utility::setTransferLimits(limits);
    }
    ~ScopedTransferLimits() { utility::setTransferLimits(saved_); }

    // The default limits with other times for connecting and for silence.
    static utility::TransferLimits withTimes(unsigned long connectMs, unsigned long stallMs) {
        utility::TransferLimits limits;
        limits.connectMs = connectMs;
        limits.stallMs = stallMs;
        return limits;
    }
    ScopedTransferLimits(const ScopedTransferLimits&) = delete;
    ScopedTransferLimits& operator=(const ScopedTransferLimits&) = delete;

private:
    utility::TransferLimits saved_;
};

}  // namespace testsupport
