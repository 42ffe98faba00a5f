#include "net/TransferFailure.h"

namespace utility {

const wchar_t* transferFailureName(TransferFailure failure) {
    switch (failure) {
    case TransferFailure::None: return L"none";
    case TransferFailure::NoAnswer: return L"noAnswer";
    case TransferFailure::ErrorStatus: return L"errorStatus";
    case TransferFailure::BrokenBody: return L"brokenBody";
    case TransferFailure::Declined: return L"declined";
    case TransferFailure::Stopped: break;
    }
    return L"stopped";
}

}  // namespace utility
