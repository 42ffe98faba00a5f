#pragma once
// Why the emulator's installer could not be downloaded, as the window tells the user.

enum class DownloadFailure {
    NoConnection,   // no server gave a usable answer: no connection, cut or stalled transfers
    ServerRefused,  // the server answered with an error status (404, 5xx, 416 ...)
    NotGenuine,     // a file came, but not the one announced or signed: it was thrown away
};

// "noConnection", "serverRefused", "notGenuine".
const wchar_t* downloadFailureName(DownloadFailure failure);
