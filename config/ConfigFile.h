#pragma once
// One of the product's JSON settings files: a flat object whose member names may contain dots.
// Read only; a missing or broken file reads as an empty object.

#include <rapidjson/document.h>

#include <string>

namespace config {

class ConfigFile {
public:
    // Binds the path and loads it; an empty path reads nothing.
    void open(const std::wstring& path);

    // The member's text as UTF-16, or the default when it is absent, null or not a string.
    std::wstring getString(const std::string& key, const std::wstring& defaultValue) const;

    const std::wstring& path() const { return path_; }

private:
    rapidjson::Document document_{rapidjson::kObjectType};
    std::wstring path_;
};

}  // namespace config
