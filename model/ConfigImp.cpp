#include "model/ConfigImp.h"

#include <algorithm>
#include <map>

#include "common/LogPrint.h"
#include "model/JoinPath.h"
#include "config/ServiceAddresses.h"

namespace {

constexpr const wchar_t* kLanguageFileMarkets[] = {L"cn", L"tw", L"kr", L"vn", L"th", L"ru", L"pt", L"fr",
                                                   L"jp", L"es", L"id", L"ar", L"fa", L"tr", L"de"};
constexpr const wchar_t* kWebsiteMarkets[] = {L"tw", L"kr", L"vn", L"th", L"ru", L"pt", L"id",
                                              L"es", L"fr", L"jp", L"ar", L"fa", L"de"};
constexpr const wchar_t* kCommunityMarkets[] = {L"tw", L"kr", L"vn", L"th", L"pt", L"ru",
                                                L"fr", L"jp", L"ar", L"fa", L"de", L"id"};

template <size_t N>
bool listed(const wchar_t* const (&markets)[N], const std::wstring& language) {
    return std::find(std::begin(markets), std::end(markets), language) != std::end(markets);
}

// Its own path, so that the page stays distinct where one server stands in for both markets.
std::wstring mainlandHomePage() { return std::wstring(config::kMainlandBase) + L"/cn/"; }

const std::map<std::wstring, const wchar_t*>& trackingIds() {
    static const std::map<std::wstring, const wchar_t*> ids = {
        {L"cn", L"UA-86117210-1"}, {L"tw", L"UA-86117210-2"},  {L"kr", L"UA-86117210-3"},
        {L"vn", L"UA-86117210-4"}, {L"th", L"UA-86117210-5"},  {L"ru", L"UA-86117210-6"},
        {L"pt", L"UA-86117210-7"}, {L"jp", L"UA-86117210-8"},  {L"id", L"UA-86117210-9"},
        {L"fr", L"UA-86117210-10"}, {L"es", L"UA-86117210-11"}, {L"de", L"UA-86117210-12"},
        {L"ar", L"UA-86117210-13"}, {L"fa", L"UA-86117210-14"},
    };
    return ids;
}

constexpr wchar_t kDefaultTrackingId[] = L"UA-86117210-20";

}  // namespace

ConfigImp& ConfigImp::instance() {
    static ConfigImp* const settings = new ConfigImp();
    return *settings;
}

void ConfigImp::setLanguage(const std::wstring& language) {
    std::lock_guard<std::mutex> guard(languageLock_);
    language_ = language;
}

std::wstring ConfigImp::getLanguage() const {
    std::lock_guard<std::mutex> guard(languageLock_);
    return language_;
}

void ConfigImp::setPlayer4() {
    setEdition(true, false, false);
    logPrint("ConfigImp::setPlayer4", __LINE__, L"player is 4");
}

void ConfigImp::setPlayer64() {
    setEdition(false, true, false);
    logPrint("ConfigImp::setPlayer64", __LINE__, L"player is 64");
}

void ConfigImp::setPlayer9() { setEdition(false, false, true); }

void ConfigImp::setPlayer3() { setEdition(false, false, false); }

void ConfigImp::setEdition(bool player4, bool player64, bool player9) {
    isPlayer4_ = player4;
    isPlayer64_ = player64;
    isPlayer9_ = player9;
}

// The edition is tested in the order 4, 64, 9; none of them means Pelora 3.
const ConfigImp::EditionProfile& ConfigImp::profile() const {
    static const EditionProfile pelora4{L"Pelora4.0", L"Software\\vantor\\Pelora", L"Software\\Merrow\\Pelora",
                                        L"/download/release/pelinst4.0.exe", L"/download/package/Pelora4.0.exe"};
    static const EditionProfile pelora64{L"Pelora64", L"Software\\vantor\\Pelora64", L"Software\\Merrow\\Pelora64",
                                         L"/download/release/pelinst64.exe", L"/download/package/Pelora64.exe"};
    static const EditionProfile pelora9{L"Pelora9", L"Software\\vantor\\Pelora9", L"Software\\Merrow\\Pelora9",
                                        L"/download/release/pelinst9.exe", L"/download/package/Pelora9.0.exe"};
    static const EditionProfile pelora3{L"Pelora3.0", L"Software\\Caskel2\\qorplayer", L"Software\\Caskel\\Pelora",
                                        L"/download/release/pelinst3.0.exe", L"/download/package/Pelora3.0.exe"};
    if (isPlayer4_) return pelora4;
    if (isPlayer64_) return pelora64;
    if (isPlayer9_) return pelora9;
    return pelora3;
}

std::wstring ConfigImp::contentServer() const { return isMainland() ? config::kMainlandBase : config::kIntlBase; }

std::wstring ConfigImp::productName() const { return L"Pelora"; }

std::wstring ConfigImp::installSubFolder() const {
    return (isMainland() ? L"Vantor\\" : L"Pelora\\") + std::wstring(profile().folder) + L"\\";
}

std::wstring ConfigImp::registryKey() const {
    return isMainland() ? profile().mainlandKey : profile().intlKey;
}

std::wstring ConfigImp::installerUrl() const {
    return contentServer() + (isMainland() ? profile().mainlandInstaller : profile().intlInstaller);
}

std::wstring ConfigImp::installerExePath(const std::wstring& folder) const {
    return model::joinPath(folder, isMainland() ? L"pelinst.exe" : L"Pelora.exe");
}

std::wstring ConfigImp::cdnBase() const {
    return contentServer() + (isMainland() ? L"/ld/vantor" : L"/player_files/en/vantor");
}

std::wstring ConfigImp::openIdConfigUrl(const std::wstring& openId) const {
    return contentServer() + L"/player_files/openidconfig/" + openId + L".data";
}

std::wstring ConfigImp::languageFile() const {
    const std::wstring language = getLanguage();
    const std::wstring code = listed(kLanguageFileMarkets, language) ? language : L"en";
    return L"language\\downloader_" + code + L".xml";
}

std::wstring ConfigImp::websiteUrl() const {
    const std::wstring language = getLanguage();
    if (language == L"cn") return mainlandHomePage();
    const std::wstring home = std::wstring(config::kIntlBase) + L"/";
    return listed(kWebsiteMarkets, language) ? home + language + L"/" : home;
}

std::wstring ConfigImp::socialUrl() const {
    const std::wstring language = getLanguage();
    if (language == L"cn") return mainlandHomePage();
    const std::wstring community = std::wstring(config::kIntlBase) + L"/community/";
    return listed(kCommunityMarkets, language) ? community + language : community;
}

std::wstring ConfigImp::altDownloadUrl() const {
    if (isMainland()) return mainlandHomePage();
    return std::wstring(config::kIntlBase) + L"/mirror/PeloraInstaller.exe";
}

std::wstring ConfigImp::trackingId() const {
    const auto& ids = trackingIds();
    const auto found = ids.find(getLanguage());
    return found == ids.end() ? kDefaultTrackingId : found->second;
}
