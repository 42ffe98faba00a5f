#include "toolkit/TextTables.h"

#include <map>
#include <vector>

#include "toolkit/DiskFile.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/TextTableParser.h"

namespace toolkit {
namespace {

constexpr size_t kMaxDiskTableBytes = 4194304;
constexpr size_t kMinPackagedTableBytes = 11;
const wchar_t* const kTableNames[] = {L"multi_language.tsv", L"multi_language_online.tsv",
                                      L"multi_language_patch.tsv"};

struct TextState {
    std::wstring language;
    std::vector<std::wstring> codes;
    std::vector<std::wstring> names;
    std::map<std::wstring, std::wstring> texts;
};

TextState& state() {
    static TextState instance;
    return instance;
}

std::optional<std::string> readTable(const std::wstring& name) {
    if (!resourceFolder().empty()) {
        if (auto bytes = readDiskFile(resourceFolder() + name, kMaxDiskTableBytes)) return bytes;
    }
    auto packaged = readPackagedFile(name);
    if (packaged && packaged->size() >= kMinPackagedTableBytes) return packaged;
    return std::nullopt;
}

void mergeTable(ParsedTextTable&& table) {
    TextState& current = state();
    current.codes = std::move(table.codes);
    current.names = std::move(table.names);
    for (auto& [key, text] : table.texts) current.texts[key] = std::move(text);
}

}  // namespace

void loadTextTables() {
    TextState& current = state();
    current.codes.clear();
    current.names.clear();
    current.texts.clear();
    for (const wchar_t* name : kTableNames) {
        const std::optional<std::string> bytes = readTable(name);
        if (!bytes) continue;
        if (auto table = parseTextTable(*bytes, current.language)) mergeTable(std::move(*table));
    }
}

std::optional<std::wstring> lookupText(const std::wstring& key) {
    const auto found = state().texts.find(key);
    if (found == state().texts.end()) return std::nullopt;
    return found->second;
}

std::wstring resolveText(const std::wstring& value) {
    if (value.size() < 2 || value[0] != L'@') return value;
    return lookupText(value.substr(1)).value_or(value);
}

void setText(const std::wstring& key, const std::wstring& text) { state().texts[key] = text; }

size_t languageCount() {
    const size_t cells = state().codes.size();
    return cells <= kFirstLanguageColumn ? 0 : cells - kFirstLanguageColumn;
}

std::optional<std::pair<std::wstring, std::wstring>> languageAt(size_t index) {
    const size_t column = index + kFirstLanguageColumn;
    if (index >= languageCount() || column >= state().names.size()) return std::nullopt;
    return std::make_pair(state().codes[column], state().names[column]);
}

const std::wstring& currentLanguage() { return state().language; }

void setCurrentLanguage(const std::wstring& code) { state().language = code; }

}  // namespace toolkit
