#pragma once
// The diagnostic log read back as the lines "date, time, thread, function, (line):message".

#include <sstream>
#include <string>
#include <vector>

namespace apptest {

struct LogLine {
    unsigned long thread = 0;
    std::string function;
    std::string message;
};

inline std::vector<LogLine> parseLogLines(const std::string& text) {
    std::vector<LogLine> lines;
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        size_t field = 0;
        for (int tabs = 0; tabs < 2 && field != std::string::npos; ++tabs) field = raw.find('\t', field + 1);
        const size_t threadEnd = field == std::string::npos ? field : raw.find('\t', field + 1);
        const size_t functionEnd = threadEnd == std::string::npos ? threadEnd : raw.find('\t', threadEnd + 1);
        const size_t messageStart = functionEnd == std::string::npos ? functionEnd : raw.find("):", functionEnd);
        if (messageStart == std::string::npos) continue;
        LogLine line;
        line.thread = std::stoul(raw.substr(field + 1, threadEnd - field - 1));
        line.function = raw.substr(threadEnd + 1, functionEnd - threadEnd - 1);
        line.message = raw.substr(messageStart + 2);
        lines.push_back(line);
    }
    return lines;
}

// True when some line has exactly that function and message (and thread, unless 0).
inline bool hasLine(const std::vector<LogLine>& lines, const std::string& function, const std::string& message,
                    unsigned long thread = 0) {
    for (const LogLine& line : lines) {
        if (line.function == function && line.message == message && (thread == 0 || line.thread == thread)) {
            return true;
        }
    }
    return false;
}

}  // namespace apptest
