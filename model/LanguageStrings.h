#pragma once
// The downloader's own interface texts, read from its language files ("StringBundle" documents of
// "String" elements). Files add to the table and never clear it, so a key missing from a later file
// keeps its earlier text.

#include <map>
#include <string>

namespace model {

class LanguageStrings {
public:
    enum class LoadFailure { NotWellFormed, NoRoot };
    // Adds every "String" with a non-empty id and text. False, with the reason in failure when given,
    // when xml is not well-formed or has no root; the caller logs it under its own name.
    bool load(const std::wstring& xml, LoadFailure* failure = nullptr);
    // The text of id, or id itself when no file had it.
    std::wstring get(const std::wstring& id) const;
    bool contains(const std::wstring& id) const { return strings_.count(id) != 0; }

private:
    std::map<std::wstring, std::wstring> strings_;
};

}  // namespace model
