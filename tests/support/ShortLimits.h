#pragma once
// Shorter transfer limits for the length of a test, so that a stalled server is given up on in
// seconds rather than half a minute. Header-only: only programs that link the network library use it.

#include "net/TransferLimits.h"

namespace testsupport {

class ShortLimits {
public:
    explicit ShortLimits(unsigned long stallMs = 2000, unsigned long connectMs = 2000)
        : saved_(utility::transferLimits()) {
        utility::TransferLimits shorter = saved_;
        shorter.stallMs = stallMs;
        shorter.connectMs = connectMs;
        utility::setTransferLimits(shorter);
    }
    ~ShortLimits() { utility::setTransferLimits(saved_); }
    ShortLimits(const ShortLimits&) = delete;
    ShortLimits& operator=(const ShortLimits&) = delete;

private:
    const utility::TransferLimits saved_;
};

}  // namespace testsupport
