#pragma once
// Whether the process log holds a line of the function that begins with the message; log lines read
// "...\t<function>\t(<line>):<message>\r\n".

#include <string>

#include "tests/support/ProcessLog.h"

inline bool loggedLine(const std::string& function, const std::string& messageStart) {
    const std::string log = testsupport::flushedProcessLog();
    const std::string head = "\t" + function + "\t(";
    for (size_t at = log.find(head); at != std::string::npos; at = log.find(head, at + 1)) {
        const size_t message = log.find("):", at + head.size());
        if (message != std::string::npos && log.compare(message + 2, messageStart.size(), messageStart) == 0) {
            return true;
        }
    }
    return false;
}
