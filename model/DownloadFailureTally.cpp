#include "model/DownloadFailureTally.h"

void DownloadFailureTally::addTransfer(utility::TransferFailure failure) {
    switch (failure) {
    case utility::TransferFailure::NoAnswer:
    case utility::TransferFailure::Stopped:
    case utility::TransferFailure::None: return;
    case utility::TransferFailure::ErrorStatus: lastAnswerRefused_ = true; return;
    case utility::TransferFailure::BrokenBody:
    case utility::TransferFailure::Declined: break;
    }
    lastAnswerRefused_ = false;
}

DownloadFailure DownloadFailureTally::reason() const {
    if (digestMismatch_) return DownloadFailure::NotGenuine;
    return lastAnswerRefused_ ? DownloadFailure::ServerRefused : DownloadFailure::NoConnection;
}
