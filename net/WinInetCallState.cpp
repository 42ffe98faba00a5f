#include "net/WinInetCallState.h"

namespace utility {

WinInetCallState* WinInetCallState::create() { return new WinInetCallState(); }

WinInetCallState::WinInetCallState()
    : completed_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      cancelled_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void WinInetCallState::addRef() { references_.fetch_add(1); }

void WinInetCallState::release() {
    if (references_.fetch_sub(1) == 1) delete this;
}

void CALLBACK WinInetCallState::onStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD) {
    if (context == 0) return;
    WinInetCallState* state = reinterpret_cast<WinInetCallState*>(context);
    switch (status) {
    case INTERNET_STATUS_REQUEST_COMPLETE:
        state->complete(*static_cast<const INTERNET_ASYNC_RESULT*>(info));
        break;
    case INTERNET_STATUS_HANDLE_CLOSING:
        state->release();
        break;
    default:
        state->noteProgress(status);
        break;
    }
}

// A query for available data reports its byte count in dwResult, so 0 there is a failure only with
// an error beside it.
void WinInetCallState::complete(const INTERNET_ASYNC_RESULT& result) {
    failed_ = result.dwResult == 0 && result.dwError != ERROR_SUCCESS;
    error_ = result.dwError;
    ::SetEvent(completed_.get());
}

void WinInetCallState::noteProgress(DWORD status) {
    if (!renewedByNotices_) return;
    const bool connecting = status == INTERNET_STATUS_RESOLVING_NAME || status == INTERNET_STATUS_NAME_RESOLVED ||
                            status == INTERNET_STATUS_CONNECTING_TO_SERVER;
    boundMs_ = connecting ? connectMs_.load() : stallMs_.load();
    since_ = ::GetTickCount();
}

void WinInetCallState::cancel() { ::SetEvent(cancelled_.get()); }

void WinInetCallState::startBound(DWORD boundMs, bool renewedByNotices) {
    renewedByNotices_ = false;
    since_ = ::GetTickCount();
    boundMs_ = boundMs;
    renewedByNotices_ = renewedByNotices;
}

void WinInetCallState::beginRequest(const TransferLimits& limits) {
    connectMs_ = limits.connectMs;
    stallMs_ = limits.stallMs;
    startBound(limits.connectMs, true);
}

void WinInetCallState::beginRead(const TransferLimits& limits) { startBound(limits.stallMs, false); }

DWORD WinInetCallState::remainingMs() const {
    const DWORD elapsed = ::GetTickCount() - since_.load();
    const DWORD bound = boundMs_.load();
    return elapsed >= bound ? 0 : bound - elapsed;
}

bool WinInetCallState::awaitCall() {
    const HANDLE events[] = {completed_.get(), cancelled_.get()};
    for (;;) {
        const DWORD left = remainingMs();
        if (left == 0) {
            ::SetLastError(ERROR_INTERNET_TIMEOUT);
            return false;
        }
        // A notice may have moved the bound meanwhile: a time-out of the wait only asks again.
        switch (::WaitForMultipleObjects(2, events, FALSE, left)) {
        case WAIT_OBJECT_0:
            if (!failed_) return true;
            ::SetLastError(error_);
            return false;
        case WAIT_OBJECT_0 + 1:
            ::SetLastError(ERROR_OPERATION_ABORTED);
            return false;
        case WAIT_TIMEOUT:
            break;
        default:
            return false;
        }
    }
}

INTERNET_BUFFERSA& WinInetCallState::readBlock(DWORD size) {
    if (size > bufferSize_) {
        buffer_.reset(new char[size]);
        bufferSize_ = size;
    }
    block_ = INTERNET_BUFFERSA{};
    block_.dwStructSize = sizeof block_;
    block_.lpvBuffer = buffer_.get();
    block_.dwBufferLength = size;
    return block_;
}

}  // namespace utility
