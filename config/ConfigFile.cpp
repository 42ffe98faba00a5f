#include "config/ConfigFile.h"

#include <fstream>
#include <iterator>

#include "utility/UString.h"

namespace config {

void ConfigFile::open(const std::wstring& path) {
    path_ = path;
    document_.SetObject();
    if (path.empty()) return;
    std::ifstream in(path.c_str());
    if (!in) return;
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    rapidjson::Document parsed;
    parsed.Parse(text.c_str(), text.size());
    if (!parsed.HasParseError() && parsed.IsObject()) document_.Swap(parsed);
}

std::wstring ConfigFile::getString(const std::string& key, const std::wstring& defaultValue) const {
    const auto member = document_.FindMember(rapidjson::StringRef(key.c_str(), key.size()));
    if (member == document_.MemberEnd() || !member->value.IsString()) return defaultValue;
    return utility::ustring::utf8ToWide(std::string(member->value.GetString(), member->value.GetStringLength()));
}

}  // namespace config
