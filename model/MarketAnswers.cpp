#include "model/MarketAnswers.h"

#include <rapidjson/document.h>

#include "model/ConfigImp.h"
#include "utility/UString.h"

namespace {

using Value = rapidjson::Value;

const Value* member(const Value& object, const char* name) {
    if (!object.IsObject()) return nullptr;
    const auto found = object.FindMember(name);
    return found == object.MemberEnd() ? nullptr : &found->value;
}

// A string member in UTF-8, or in the ANSI code page where the market writes it so.
void readText(const Value& object, const char* name, std::wstring& out, bool ansi = false) {
    const Value* value = member(object, name);
    if (value == nullptr || !value->IsString()) return;
    const std::string bytes(value->GetString(), value->GetStringLength());
    out = ansi ? utility::ustring::ansiToWide(bytes) : utility::ustring::utf8ToWide(bytes);
}

// A string member's bytes as they stand; empty when absent or not a string.
std::string rawText(const Value& object, const char* name) {
    const Value* value = member(object, name);
    if (value == nullptr || !value->IsString()) return {};
    return std::string(value->GetString(), value->GetStringLength());
}

void readNonZero(const Value& object, const char* name, bool& out) {
    const Value* value = member(object, name);
    if (value != nullptr && value->IsInt()) out = value->GetInt() != 0;
}

bool flag(const Value& object, const char* name) {
    std::wstring text;
    readText(object, name, text);
    return text == L"1";
}

const char* editionKey(const ConfigImp& config) {
    if (config.isPlayer4()) return "mnq4";
    if (config.isPlayer64()) return "mnq64";
    if (config.isPlayer9()) return "mnq9";
    return "mnq";
}

GamePackage gamePackageFrom(const Value& element) {
    GamePackage game;
    readText(element, "app_download_url", game.app_download_url);
    readText(element, "app_package_name", game.app_package_name);
    readText(element, "gamename", game.gamename);
    readText(element, "app_icon", game.app_icon);
    readText(element, "app_obb", game.app_obb);
    readText(element, "game_slt_url", game.game_slt_url);
    readText(element, "resolution", game.resolution, true);
    readText(element, "gameid", game.gameid, true);
    game.xapk = flag(element, "xapk");
    game.from_appstore = flag(element, "from_appstore");
    return game;
}

void readSettings(const Value& root, InstallerSettings& settings) {
    readText(root, "launch_h", settings.launchImageH);
    readText(root, "launch_V", settings.launchImageV);
    readText(root, "title", settings.windowTitle);
    readText(root, "runapp", settings.runApp);
    readText(root, "qqlink", settings.qqLink);
    readText(root, "shortcutname", settings.shortcutName);
    readText(root, "shortcuturl", settings.shortcutUrl);
    readText(root, "heapsize", settings.heapSize);
    readNonZero(root, "ad", settings.adShow);
    readNonZero(root, "runappstore", settings.runAppStore);
    readNonZero(root, "cleanmodel", settings.cleanMode);
    const Value* useRoot = member(root, "root");
    if (useRoot != nullptr && useRoot->IsBool()) settings.useRoot = useRoot->GetBool() ? 1 : 0;
}

}  // namespace

std::optional<PlayerAddresses> playerAddressesFromVersionAnswer(const std::string& json, const ConfigImp& config) {
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    if (document.HasParseError() || !document.IsObject()) return std::nullopt;
    PlayerAddresses addresses;
    if (const Value* edition = member(document, editionKey(config))) {
        readText(*edition, "url", addresses.url);
        readText(*edition, "url_spare", addresses.spareUrl);
        addresses.digest = installerDigestFrom(rawText(*edition, "sha256"), rawText(*edition, "md5"));
    }
    return addresses;
}

void readOpenIdConfig(const std::string& json, std::vector<GamePackage>& packages, InstallerSettings& settings) {
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    if (document.HasParseError() || !document.IsObject()) return;
    if (const Value* result = member(document, "result"); result != nullptr && result->IsArray()) {
        for (const Value& element : result->GetArray()) {
            GamePackage game = gamePackageFrom(element);
            if (!game.app_download_url.empty() || !game.gameid.empty() || !game.app_package_name.empty()) {
                packages.push_back(std::move(game));
            }
        }
    }
    readSettings(document, settings);
}
