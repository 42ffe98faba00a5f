#pragma once
// The texts a downloader of a market language shows, read from the same skin package the program
// carries (the test program embeds it too): its language file, its licence and the multi-language
// table.

#include <string>
#include <utility>
#include <vector>

#include "model/LanguageStrings.h"

namespace e2e {

// Unpacks the skin embedded in the test program (resource ZIPRES 129) once, with GDI+ for drawing it.
void useEmbeddedSkin();

// language\downloader_<code>.xml, or the English file for a code without one (as the program falls
// back); the test fails when the file cannot be read.
model::LanguageStrings languageStrings(const std::wstring& code);

// The text of a key in a language's column (a long code: "de_DE") of the multi-language table, which
// "@key" layout texts and tooltips show; empty when there is none.
std::wstring tableText(const std::wstring& longCode, const std::wstring& key);

// The table's languages as the language combo lists them: (long code, name).
std::vector<std::pair<std::wstring, std::wstring>> tableLanguages();

}  // namespace e2e
