#pragma once
// How the client's last transfer ended, so that a caller can tell a server's refusal from a lost
// connection without reading the log.

namespace utility {

enum class TransferFailure {
    None,         // the whole body arrived
    NoAnswer,     // no answer head: no connection, name not found, TLS refused, closed or stalled before it
    ErrorStatus,  // the server answered with a status outside 200-299
    BrokenBody,   // a 2xx answer whose body broke off, ended early or stalled
    Declined,     // this side refused the answer: the file could not be written, the answer was too
                  // large for memory, a part did not continue the file, or the progress sink aborted
    Stopped,      // stop() or the stop source ended it
};

// "none", "noAnswer", "errorStatus", "brokenBody", "declined", "stopped", for log lines.
const wchar_t* transferFailureName(TransferFailure failure);

}  // namespace utility
