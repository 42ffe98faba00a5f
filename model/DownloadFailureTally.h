#pragma once
// Collects how each fallback of the installer download failed and names the reason the whole download
// failed:
// - NotGenuine when any fallback's file failed the digest check (a server hands out wrong bytes: trying
//   again or the browser will not help by themselves, and the user must hear it);
// - else ServerRefused when the last fallback that got an answer head from a server ended on an error
//   status (the connection works; the server will not give the file);
// - else NoConnection: no fallback got an answer, or the last one that did lost its body (cut, stalled).
// Fallbacks that never got an answer head do not change what an earlier answer said.

#include "model/DownloadFailure.h"
#include "net/TransferFailure.h"

class DownloadFailureTally {
public:
    // A fallback whose transfer failed this way.
    void addTransfer(utility::TransferFailure failure);
    // A fallback whose file arrived but did not match the announced digest.
    void addDigestMismatch() { digestMismatch_ = true; }

    DownloadFailure reason() const;

private:
    bool digestMismatch_ = false;
    bool lastAnswerRefused_ = false;
};
