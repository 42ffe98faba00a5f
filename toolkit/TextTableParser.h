#pragma once
// Parsing one tab-separated multi-language table: UTF-8 rows, a codes row, a names row, then one
// row per key with a text per language. Pure functions; any thread.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace toolkit {

// Column 0 holds a category word, column 1 the key; the languages follow.
constexpr size_t kFirstLanguageColumn = 2;
// Cells of one row; a converted cell longer than this many wide characters becomes empty.
constexpr size_t kMaxCellLength = 512;

struct ParsedTextTable {
    std::vector<std::wstring> codes;  // row 1, every cell
    std::vector<std::wstring> names;  // row 2, every cell
    std::map<std::wstring, std::wstring> texts;  // key -> text of the chosen language column
};

// The rows of the text, each split into cells. Tabs, CRs and LFs before a row are skipped, so
// blank lines vanish and no row starts with an empty cell; a tab at the end of a row adds no cell.
std::vector<std::vector<std::wstring>> splitTableRows(const std::string& utf8);

// The table, with texts from the column whose code equals the language (the first language column
// when the language is empty or unknown), or nothing when its first two rows are not a codes row
// and a "language_name" row.
std::optional<ParsedTextTable> parseTextTable(const std::string& utf8, const std::wstring& language);

}  // namespace toolkit
