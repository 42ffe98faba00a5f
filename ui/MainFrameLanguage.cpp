// The interface language: the language combo of the title bar, the language files and the texts
// they give the window's controls, and the licence of the market.

#include "common/LogPrint.h"
#include "config/RegionLanguage.h"
#include "model/ConfigImp.h"
#include "model/DownloaderModel.h"
#include "toolkit/Button.h"
#include "toolkit/Combo.h"
#include "toolkit/InterfaceLanguage.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/TextTables.h"
#include "ui/LanguageCodes.h"
#include "ui/LanguageTexts.h"
#include "ui/LicenceText.h"
#include "ui/MainFrame.h"
#include "utility/UString.h"

namespace {

DownloaderModel& downloaderModel() { return *DownloaderModel::instance(); }

constexpr int kLanguageFileAttempts = 3;
constexpr wchar_t kEnglish[] = L"en_US";

}  // namespace

void DMainFrame::fillLanguageCombo() {
    auto* combo = findControl<toolkit::CSkinCombo>(L"languageCombo");
    if (!combo) return;
    std::vector<ui::LanguageEntry> languages;
    for (size_t i = 0; i < toolkit::languageCount(); ++i) {
        if (auto language = toolkit::languageAt(i)) languages.push_back(*language);
    }
    toolkit::CSkinListItem* english = nullptr;
    for (const auto& [code, name] : ui::startupLanguageFirst(languages, config::regionLanguage())) {
        auto item = std::make_unique<toolkit::CSkinListItem>();
        item->setText(name);
        item->setUserData(code);
        toolkit::CSkinListItem* added = combo->addItem(std::move(item));
        if (code == kEnglish) english = added;
        // Selecting raises "itemselect", which loads the language before the first paint.
        if (code == localeCode_) added->select(false);
    }
    if (combo->currentSelection() >= 0 || !english) return;
    // A market language the table does not offer ("in"): English texts, while analytics and the
    // market's addresses keep the market's own code.
    const std::wstring modelLanguage = downloaderModel().getLanguage();
    const std::wstring marketLanguage = ConfigImp::instance().getLanguage();
    PEL_LOG(L"no language entry for %s, English shown", localeCode_.c_str());
    english->select(false);
    downloaderModel().setLanguage(modelLanguage);
    ConfigImp::instance().setLanguage(marketLanguage);
}

void DMainFrame::onLanguageComSelected(int index) {
    auto* combo = findControl<toolkit::CSkinCombo>(L"languageCombo");
    toolkit::CSkinListItem* item = combo ? combo->itemAt(index) : nullptr;
    if (!item) return;
    localeCode_ = item->userData();
    const std::wstring shortCode = ui::shortLanguageCode(localeCode_);
    downloaderModel().setLanguage(shortCode);
    ConfigImp::instance().setLanguage(shortCode);
    const std::wstring file = ConfigImp::instance().languageFile();
    for (int attempt = 0; attempt < kLanguageFileAttempts; ++attempt) {
        PEL_LOG(L"load language %s", file.c_str());
        if (const std::optional<std::string> bytes = toolkit::readSkinFile(file)) {
            // The bytes may hold a zero; the text ends there, as it would in a C buffer.
            const std::string text(bytes->c_str());
            if (downloaderModel().loadLanguage(utility::ustring::utf8ToWide(text))) break;
        } else {
            PEL_LOG(L"get resource error. %d", ::GetLastError());
        }
        ::Sleep(0);
    }
    // The layouts' own texts and tooltips ("@close_tip") and the message boxes' confirm caption.
    toolkit::switchInterfaceLanguage(localeCode_);
    ::SetWindowTextW(hwnd(), getString(L"Title_wndTitle").c_str());
    applyLanguageTexts();
    setText(L"titlename", getString(L"titlename"));
    setText(L"protocoledit", ui::licenceText(ConfigImp::instance().getLanguage()));
    setText(L"confirmprotocolbtn", getString(L"accept_protocol"));
    // The texts above give the install button the quick-install caption.
    setCustomMode(isCustomMode());
}

void DMainFrame::applyLanguageTexts() {
    for (const ui::ControlText& entry : ui::kLanguageTexts) setText(entry.control, getString(entry.key));
    if (toolkit::CSkinControl* facebook = findControl(L"joinfacebookBtn")) facebook->setTooltip(getString(L"facebook"));
    if (auto* homepage = findControl<toolkit::CSkinButton>(L"homepageBtn")) {
        homepage->setTextColor(0xFFFFFFFF);
        homepage->setText(ConfigImp::instance().websiteUrl());
    }
    applyAccessibleNames();
}

void DMainFrame::applyAccessibleNames() {
    const auto name = [this](const wchar_t* control, const std::wstring& text) {
        if (toolkit::CSkinControl* found = findControl(control)) found->setAccessibleName(text);
    };
    // The licence box is named by the sentence beside it.
    std::wstring licenceLink;
    if (toolkit::CSkinControl* link = findControl(L"protocollinkbtn")) licenceLink = link->accessibleName();
    name(L"acceptprotocolopt", getString(L"protocol_accept") + L" " + licenceLink);
    name(L"pathedit", getString(L"Label_choice_path"));
    name(L"installprogressbar", getString(L"progress_install_label"));
    name(L"apkinstallprogressbar", getString(L"Label_installingapp_waiting"));
}
