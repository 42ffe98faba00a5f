#include "toolkit/TextTableParser.h"

#include <windows.h>

#include <algorithm>

namespace toolkit {
namespace {

std::wstring convertCell(const char* begin, const char* end) {
    if (begin == end) return {};
    wchar_t buffer[kMaxCellLength];
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, begin, int(end - begin), buffer, int(kMaxCellLength));
    return std::wstring(buffer, size_t(std::max(length, 0)));
}

std::vector<std::wstring> splitCells(const char* begin, const char* end) {
    std::vector<std::wstring> cells;
    while (begin != end) {
        const char* tab = std::find(begin, end, '\t');
        cells.push_back(convertCell(begin, tab));
        begin = tab == end ? end : tab + 1;
    }
    return cells;
}

bool isRowBreak(char c) { return c == '\r' || c == '\n'; }

// Row 2 must name the languages; without it, row 1 must at least say it holds the codes.
bool hasLanguageRows(const std::vector<std::wstring>& codes, const std::vector<std::wstring>& names) {
    if (codes.size() < 2) return false;
    if (names.size() >= 2) return names[1] == L"language_name";
    return codes[1] == L"language_code";
}

size_t languageColumn(const std::vector<std::wstring>& codes, const std::wstring& language) {
    if (language.empty()) return kFirstLanguageColumn;
    const auto found = std::find(codes.begin(), codes.end(), language);
    return found == codes.end() ? kFirstLanguageColumn : size_t(found - codes.begin());
}

}  // namespace

std::vector<std::vector<std::wstring>> splitTableRows(const std::string& utf8) {
    std::vector<std::vector<std::wstring>> rows;
    const char* pos = utf8.data();
    const char* const end = pos + utf8.size();
    while (true) {
        while (pos != end && (*pos == '\t' || isRowBreak(*pos))) ++pos;
        if (pos == end) return rows;
        const char* rowEnd = std::find_if(pos, end, isRowBreak);
        rows.push_back(splitCells(pos, rowEnd));
        pos = rowEnd;
    }
}

std::optional<ParsedTextTable> parseTextTable(const std::string& utf8, const std::wstring& language) {
    std::vector<std::vector<std::wstring>> rows = splitTableRows(utf8);
    ParsedTextTable table;
    if (rows.size() > 0) table.codes = std::move(rows[0]);
    if (rows.size() > 1) table.names = std::move(rows[1]);
    if (!hasLanguageRows(table.codes, table.names)) return std::nullopt;
    const size_t column = languageColumn(table.codes, language);
    for (size_t i = 2; i < rows.size(); ++i) {
        const std::vector<std::wstring>& cells = rows[i];
        if (cells.size() > std::max<size_t>(column, 1)) table.texts[cells[1]] = cells[column];
    }
    return table;
}

}  // namespace toolkit
