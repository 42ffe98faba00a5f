#pragma once
// Transfer limits changed for one test and restored at its end, so a short bound never leaks into
// the next test.

#include "net/TransferLimits.h"

namespace testsupport {

class ScopedTransferLimits {
public:
    explicit ScopedTransferLimits(const utility::TransferLimits& limits) : saved_(utility::transferLimits()) {
        utility::setTransferLimits(limits);
    }
    ~ScopedTransferLimits() { utility::setTransferLimits(saved_); }
    ScopedTransferLimits(const ScopedTransferLimits&) = delete;
    ScopedTransferLimits& operator=(const ScopedTransferLimits&) = delete;

private:
    utility::TransferLimits saved_;
};

}  // namespace testsupport
