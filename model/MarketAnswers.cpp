#include "model/MarketAnswers.h"

#include <rapidjson/document.h>

#include "common/LogPrint.h"
#include "model/ConfigImp.h"
#include "utility/SafeName.h"
#include "utility/UString.h"

namespace {

using Value = rapidjson::Value;

// What a text member may hold. The values end up in file names, in the emulator's data.ini and on the
// command lines of the emulator and its console tool, and the market's answers come from the network:
// each is held to what it means where it is read, so nothing further on ever sees a hostile value.
enum class Rule {
    fileName,      // made safe as one file name; refused when nothing usable remains
    profileValue,  // a value of data.ini: control characters dropped, so it stays on its line
    packageName,   // an Android package name
    address,       // an http:// or https:// address
    resolution,    // "1280,720,240"
    gameId,        // letters and digits
};

std::optional<std::wstring> acceptedIf(bool accepted, const std::wstring& text) {
    return accepted ? std::optional<std::wstring>(text) : std::nullopt;
}

// The value the rule lets through, or nothing when it refuses the text.
std::optional<std::wstring> underRule(Rule rule, const std::wstring& text) {
    switch (rule) {
    case Rule::fileName: {
        const std::wstring name = utility::safeFileName(text);
        return acceptedIf(!name.empty(), name);
    }
    case Rule::profileValue: return utility::withoutControlCharacters(text);
    case Rule::packageName: return acceptedIf(utility::isAndroidPackageName(text), text);
    case Rule::address: return acceptedIf(utility::isWebAddress(text), text);
    case Rule::resolution: return acceptedIf(utility::isScreenResolution(text), text);
    case Rule::gameId: return acceptedIf(utility::isAsciiAlphanumeric(text), text);
    }
    return std::nullopt;
}

const Value* member(const Value& object, const char* name) {
    if (!object.IsObject()) return nullptr;
    const auto found = object.FindMember(name);
    return found == object.MemberEnd() ? nullptr : &found->value;
}

// A string member's bytes as they stand; nothing when there is no string member of that name.
std::optional<std::string> rawText(const Value& object, const char* name) {
    const Value* value = member(object, name);
    if (value == nullptr || !value->IsString()) return std::nullopt;
    return std::string(value->GetString(), value->GetStringLength());
}

// The market writes its texts in UTF-8, except two members in the ANSI code page.
enum class Encoding { utf8, ansi };

// False when there is no string member of that name.
bool readText(const Value& object, const char* name, std::wstring& out, Encoding encoding = Encoding::utf8) {
    const std::optional<std::string> bytes = rawText(object, name);
    if (!bytes) return false;
    out = encoding == Encoding::ansi ? utility::ustring::ansiToWide(*bytes) : utility::ustring::utf8ToWide(*bytes);
    return true;
}

// A string member held to its rule. A refused value is left out as if the member were absent; a tidied
// one is kept tidy. Both are logged by the member's place ("result[0].gamename"), not by the value,
// which may hold line breaks of its own.
void readChecked(const Value& object, const char* name, Rule rule, std::wstring& out, const std::wstring& place = {},
                 Encoding encoding = Encoding::utf8) {
    std::wstring text;
    if (!readText(object, name, text, encoding)) return;
    const std::wstring field = place + utility::ustring::utf8ToWide(name);
    if (text.empty()) {
        out.clear();
    } else if (const std::optional<std::wstring> usable = underRule(rule, text)) {
        if (*usable != text) PEL_LOG(L"%s tidied", field.c_str());
        out = *usable;
    } else {
        PEL_LOG(L"%s refused, ignored", field.c_str());
    }
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

GamePackage gamePackageFrom(const Value& element, const std::wstring& place) {
    GamePackage game;
    readChecked(element, "app_download_url", Rule::address, game.app_download_url, place);
    readChecked(element, "app_package_name", Rule::packageName, game.app_package_name, place);
    readChecked(element, "gamename", Rule::fileName, game.gamename, place);
    readChecked(element, "app_icon", Rule::address, game.app_icon, place);
    readChecked(element, "app_obb", Rule::address, game.app_obb, place);
    readChecked(element, "game_slt_url", Rule::address, game.game_slt_url, place);
    readChecked(element, "resolution", Rule::resolution, game.resolution, place, Encoding::ansi);
    readChecked(element, "gameid", Rule::gameId, game.gameid, place, Encoding::ansi);
    game.xapk = flag(element, "xapk");
    game.from_appstore = flag(element, "from_appstore");
    return game;
}

void readSettings(const Value& root, InstallerSettings& settings) {
    readChecked(root, "launch_h", Rule::address, settings.launchImageH);
    readChecked(root, "launch_V", Rule::address, settings.launchImageV);
    readChecked(root, "title", Rule::profileValue, settings.windowTitle);
    readChecked(root, "runapp", Rule::packageName, settings.runApp);
    readChecked(root, "qqlink", Rule::profileValue, settings.qqLink);
    readChecked(root, "shortcutname", Rule::fileName, settings.shortcutName);
    readChecked(root, "shortcuturl", Rule::address, settings.shortcutUrl);
    readChecked(root, "heapsize", Rule::profileValue, settings.heapSize);
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
    const char* key = editionKey(config);
    if (const Value* edition = member(document, key)) {
        const std::wstring place = utility::ustring::utf8ToWide(key) + L".";
        readChecked(*edition, "url", Rule::address, addresses.url, place);
        readChecked(*edition, "url_spare", Rule::address, addresses.spareUrl, place);
        addresses.digest = installerDigestFrom(rawText(*edition, "sha256").value_or(""),
                                               rawText(*edition, "md5").value_or(""));
    }
    return addresses;
}

void readOpenIdConfig(const std::string& json, std::vector<GamePackage>& packages, InstallerSettings& settings) {
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    if (document.HasParseError() || !document.IsObject()) return;
    if (const Value* result = member(document, "result"); result != nullptr && result->IsArray()) {
        for (rapidjson::SizeType i = 0; i < result->Size(); ++i) {
            GamePackage game = gamePackageFrom((*result)[i], L"result[" + std::to_wstring(i) + L"].");
            if (!game.app_download_url.empty() || !game.gameid.empty() || !game.app_package_name.empty()) {
                packages.push_back(std::move(game));
            }
        }
    }
    readSettings(document, settings);
}
