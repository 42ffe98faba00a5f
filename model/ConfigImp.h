#pragma once
// The market settings: market language, campaign id and emulator edition, and every address, folder
// and key derived from them. Filled once by the downloader model from the executable's name; after
// that only the language changes (the window's language switch) while workers read it.

#include <mutex>
#include <string>

class ConfigImp {
public:
    // The process-wide settings, created with the defaults on first use.
    static ConfigImp& instance();

    ConfigImp() = default;

    void setLanguage(const std::wstring& language);
    void setAdId(const std::wstring& adId) { adId_ = adId; }
    void setPlayer4();
    void setPlayer64();
    void setPlayer9();
    void setPlayer3();

    // A copy: the window may switch the language while a worker reads it.
    std::wstring getLanguage() const;
    std::wstring getAdId() const { return adId_; }
    bool isPlayer4() const { return isPlayer4_; }
    bool isPlayer64() const { return isPlayer64_; }
    bool isPlayer9() const { return isPlayer9_; }

    std::wstring productName() const;
    // Relative to a drive root, ending in a backslash.
    std::wstring installSubFolder() const;
    // Under HKEY_CURRENT_USER; the installed edition keeps its folder there as "InstallDir".
    std::wstring registryKey() const;
    // The built-in address of the full installer package.
    std::wstring installerUrl() const;
    // Local file name of the downloaded installer inside folder.
    std::wstring installerExePath(const std::wstring& folder) const;
    // Base address of the market's version service.
    std::wstring cdnBase() const;
    std::wstring openIdConfigUrl(const std::wstring& openId) const;
    // "language\\downloader_<code>.xml", English for markets without a language file.
    std::wstring languageFile() const;
    std::wstring websiteUrl() const;
    std::wstring socialUrl() const;
    // Where a user can fetch the installer by hand when the downloader cannot.
    std::wstring altDownloadUrl() const;
    // The market's analytics property id.
    std::wstring trackingId() const;

private:
    // What differs by edition; mainland and international markets differ in key and installer.
    struct EditionProfile {
        const wchar_t* folder;
        const wchar_t* mainlandKey;
        const wchar_t* intlKey;
        const wchar_t* mainlandInstaller;
        const wchar_t* intlInstaller;
    };
    const EditionProfile& profile() const;
    bool isMainland() const { return getLanguage() == L"cn"; }
    std::wstring contentServer() const;
    void setEdition(bool player4, bool player64, bool player9);

    mutable std::mutex languageLock_;
    std::wstring language_ = L"en";  // guarded by languageLock_
    std::wstring adId_ = L"Pelora Installer";
    bool isPlayer4_ = true;
    bool isPlayer64_ = false;
    bool isPlayer9_ = false;
};
