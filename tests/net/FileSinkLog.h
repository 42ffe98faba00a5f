#pragma once
// The file sink's log line for a failed step (10 open, 12 connect, 16 send, 17 header, 19 body).

#include <string>

inline std::string fileSinkFailureLine(int step, unsigned long error) {
    return "CHttpDownload2FileSink http code " + std::to_string(step) + ", error = " + std::to_string(error) + "\r\n";
}
