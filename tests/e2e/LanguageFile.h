#pragma once
// The texts a downloader of a market language shows, read from the same skin package the program
// carries (the test program embeds it too): its language file and its licence.

#include <string>

#include "model/LanguageStrings.h"

namespace e2e {

// Unpacks the skin embedded in the test program (resource ZIPRES 129) once, with GDI+ for drawing it.
void useEmbeddedSkin();

// language\downloader_<code>.xml, or the English file for a code without one (as the program falls
// back); the test fails when the file cannot be read.
model::LanguageStrings languageStrings(const std::wstring& code);

}  // namespace e2e
