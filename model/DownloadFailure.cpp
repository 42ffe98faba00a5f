#include "model/DownloadFailure.h"

const wchar_t* downloadFailureName(DownloadFailure failure) {
    switch (failure) {
    case DownloadFailure::NoConnection: return L"noConnection";
    case DownloadFailure::ServerRefused: return L"serverRefused";
    case DownloadFailure::NotGenuine: break;
    }
    return L"notGenuine";
}
