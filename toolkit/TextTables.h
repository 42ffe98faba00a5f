#pragma once
// The process-wide text table: the texts of the current language from the multi-language tables
// ("@" texts of layouts, the confirm caption, the list of languages). Loaded on the main thread at
// start-up; afterwards used from the window thread only.

#include <optional>
#include <string>
#include <utility>

namespace toolkit {

// Rebuilds the table from "multi_language.tsv", "multi_language_online.tsv" and
// "multi_language_patch.tsv" in this order, each from the resource folder on disk (at most 4 MiB)
// or else from the skin package (more than 10 bytes). A later table overrides texts key by key and
// replaces the language list; an unusable table is skipped.
void loadTextTables();

std::optional<std::wstring> lookupText(const std::wstring& key);
// A layout's text value: "@key" (more than the "@") becomes the entry of key when there is one;
// anything else stays as written.
std::wstring resolveText(const std::wstring& value);
void setText(const std::wstring& key, const std::wstring& text);

// Languages of the last table loaded: pairs (long code, display name); a language whose name cell
// is missing gives nothing.
size_t languageCount();
std::optional<std::pair<std::wstring, std::wstring>> languageAt(size_t index);

// The long code whose column is loaded; empty, meaning the first language column, unless set.
const std::wstring& currentLanguage();
void setCurrentLanguage(const std::wstring& code);

}  // namespace toolkit
