#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "model/LanguageStrings.h"
#include "tests/support/CapturedOutput.h"
#include "tests/support/RegistryValueGuard.h"
#include "tests/support/TestFiles.h"
#include "tests/toolkit/SkinTestSupport.h"
#include "toolkit/Combo.h"
#include "toolkit/Container.h"
#include "toolkit/ControlFactory.h"
#include "toolkit/DisplayScale.h"
#include "toolkit/Edit.h"
#include "toolkit/Label.h"
#include "toolkit/LayoutDocument.h"
#include "toolkit/MarkupValues.h"
#include "toolkit/Option.h"
#include "toolkit/Progress.h"
#include "toolkit/RichEdit.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/TabLayout.h"
#include "toolkit/TextTables.h"
#include "ui/LanguageTexts.h"
#include "ui/LicenceText.h"
#include "ui/MessageBox.h"
#include "ui/TransferRate.h"
#include "utility/Digest.h"
#include "utility/ScopedHandle.h"
#include "utility/UProcess.h"
#include "utility/UString.h"

namespace {

using namespace toolkit;

const wchar_t* const kLanguages[] = {L"ar", L"cn", L"de", L"en", L"es", L"fa", L"fr", L"id",
                                     L"jp", L"kr", L"pt", L"ru", L"th", L"tr", L"tw", L"vn"};

const wchar_t* const kKeys[] = {
    L"Title_wndTitle", L"titlename", L"Label_installing_waiting", L"Label_getversion_info", L"Label_downloading",
    L"Button_install_now", L"Button_install_fast", L"Button_start_player", L"MsgBox_error", L"MsgBox_accept_protocol",
    L"MsgBox_error_path", L"MsgBox_disk_notEnough", L"Label_choice_path", L"MSGBox_noice", L"MsgBox_exit", L"Yes",
    L"No", L"sure", L"accept_protocol", L"browser", L"Label_path_error", L"Button_install_define",
    L"Button_install_back", L"protocol_accept", L"protocol_accept_btn", L"progress_downloading_label",
    L"progress_install_label", L"progress_finish_label", L"progress_downloading_label2",
    L"Label_installingapp_waiting", L"facebook", L"download_slowtip", L"downloadBybrowser", L"download_close",
    L"download_keepwaiting", L"game_install_failed", L"download_failed_title", L"download_failed_connection",
    L"download_failed_server", L"download_failed_damaged", L"install_failed_title", L"install_failed_reason",
    L"Button_try_again", L"Button_download_browser", L"Link_open_logs", L"progress_left_seconds",
    L"progress_left_minutes", L"progress_left_hours",
};

const wchar_t* const kLayouts[] = {L"mainframe.xml", L"downloaderbox.xml", L"common/xml_messagebox.xml"};

// 100 %, 150 % and 200 %.
const UINT kScales[] = {96, 144, 192};

class ProductSkin : public ::testing::Test {
protected:
    static void SetUpTestSuite() { loadSkinPackage(::GetModuleHandleW(nullptr), 129); }

    std::unique_ptr<CPaintManager> build(const std::wstring& layout, UINT dpi = kBaseDpi) {
        const std::optional<std::string> markup = readSkinFile(layout);
        if (!markup) {
            ADD_FAILURE() << "missing " << testing::PrintToString(layout);
            return std::make_unique<CPaintManager>();
        }
        auto manager = skintest::buildMarkup(*markup);
        manager->setDpi(dpi);
        return manager;
    }

    model::LanguageStrings language(const std::wstring& code) {
        model::LanguageStrings strings;
        const std::optional<std::string> file = readSkinFile(L"language\\downloader_" + code + L".xml");
        EXPECT_TRUE(file && strings.load(utility::ustring::utf8ToWide(*file))) << testing::PrintToString(code);
        return strings;
    }
};

template <typename T>
void expectControl(CPaintManager& manager, const wchar_t* name) {
    EXPECT_NE(dynamic_cast<T*>(manager.findControl(name)), nullptr) << testing::PrintToString(name);
}

TEST_F(ProductSkin, MainWindowHasEveryControlThePagesNeed) {
    auto manager = build(L"mainframe.xml");
    EXPECT_EQ(manager->size().cx, 640);
    EXPECT_EQ(manager->size().cy, 400);
    const wchar_t* const plain[] = {
        L"closebtn", L"minbtn", L"titlename", L"logoControl", L"logoControl9", L"homepageBtn", L"joinfacebookBtn",
        L"addQQGroupBtn", L"installnowbtn", L"LicenseAgreementText", L"protocollinkbtn", L"userdefinitionLayout",
        L"userdefinitionBtn", L"backLayout", L"backBtn", L"userdefinitionsui", L"browsebtn", L"errorpathnoticeui",
        L"pathErrorLabel", L"confirmprotocolbtn", L"loadingprogresslabel", L"downloadProgressLabel",
        L"progress_install_label", L"tipInstallLabel", L"apkinstallprogresslabel", L"apkfilenamelabel",
        L"tastenowbtn", L"progress_finish_label", L"downloadSpeedLabel", L"apkfailedlabel", L"downloadFailedTitle",
        L"downloadFailedLabel", L"retryDownloadBtn", L"browserDownloadBtn", L"installFailedTitle", L"installFailedLabel",
        L"retryInstallBtn", L"openLogFolderBtn",
    };
    for (const wchar_t* name : plain) expectControl<CSkinControl>(*manager, name);
    expectControl<CSkinOption>(*manager, L"acceptprotocolopt");
    expectControl<CSkinEdit>(*manager, L"pathedit");
    expectControl<CSkinCombo>(*manager, L"languageCombo");
    expectControl<CSkinProgress>(*manager, L"installprogressbar");
    expectControl<CSkinProgress>(*manager, L"apkinstallprogressbar");
    expectControl<CSkinRichEdit>(*manager, L"protocoledit");
    auto* tab = dynamic_cast<CSkinTabLayout*>(manager->findControl(L"maintab"));
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->childCount(), 8u);
    EXPECT_EQ(tab->currentIndex(), 0);
    EXPECT_TRUE(dynamic_cast<CSkinOption*>(manager->findControl(L"acceptprotocolopt"))->isSelected());
}

TEST_F(ProductSkin, BoxesHaveTheirControls) {
    auto confirmation = build(L"downloaderbox.xml");
    for (const wchar_t* name : {L"closebtn", L"titlelabel", L"descriptlabel", L"btnLeft", L"btnRight", L"btnSure"}) {
        expectControl<CSkinControl>(*confirmation, name);
    }
    auto box = build(L"common/xml_messagebox.xml");
    for (const wchar_t* name : {L"closebtn", L"titlelabel", L"descriptlabel", L"msgiconimage"}) {
        expectControl<CSkinControl>(*box, name);
    }
    CSkinControl* bar = box->findControl(L"bottombar");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->childCount(), 2u) << "two spacers that centre the buttons";
    for (const wchar_t* image : {L"common/msg_noice.png", L"common/msg_ok.png", L"button_box_cancel.png",
                                 L"button_box_hot.png", L"browse_button.png", L"error_edit_bg.png"}) {
        EXPECT_TRUE(readSkinFile(image).has_value()) << testing::PrintToString(image);
    }
}

TEST_F(ProductSkin, EveryLanguageFileCarriesEveryKey) {
    for (const wchar_t* code : kLanguages) {
        model::LanguageStrings strings = language(code);
        for (const wchar_t* key : kKeys) {
            EXPECT_TRUE(strings.contains(key)) << testing::PrintToString(code) << " lacks " << testing::PrintToString(key);
        }
    }
}

TEST_F(ProductSkin, TableOffersNineteenLanguagesAndTheConfirmCaption) {
    ASSERT_EQ(languageCount(), 19u);
    EXPECT_EQ(languageAt(0), std::make_pair(std::wstring(L"en_US"), std::wstring(L"English")));
    EXPECT_EQ(languageAt(3), std::make_pair(std::wstring(L"ko_KR"), std::wstring(L"한국어")));
    EXPECT_EQ(languageAt(11), std::make_pair(std::wstring(L"ar_IL"), std::wstring(L"العربية")));
    EXPECT_EQ(languageAt(18)->first, L"uk_UA");
    EXPECT_EQ(lookupText(L"confirm"), std::optional<std::wstring>(L"OK"));
}

TEST_F(ProductSkin, LicencesAreUtf16Resources) {
    struct Licence {
        const wchar_t* market;
        wchar_t sample;  // a character the text must contain
    } licences[] = {{L"cn", L'许'}, {L"tw", L'許'}, {L"en", L'L'}, {L"kr", L'L'}};
    for (const Licence& licence : licences) {
        const std::wstring text = ui::licenceText(licence.market);
        EXPECT_GT(text.size(), 1000u) << testing::PrintToString(licence.market);
        EXPECT_NE(text[0], L'\xFEFF') << "no byte order mark";
        EXPECT_NE(text.find(licence.sample), std::wstring::npos) << testing::PrintToString(licence.market);
    }
}

std::vector<std::pair<const wchar_t*, UINT>> everyLanguageAtEveryScale() {
    std::vector<std::pair<const wchar_t*, UINT>> cases;
    for (UINT dpi : kScales) {
        for (const wchar_t* code : kLanguages) cases.emplace_back(code, dpi);
    }
    return cases;
}

// The width a single-line text needs in its control, markup tags aside.
int textWidth(CPaintManager& manager, CSkinLabel& label) {
    std::wstring plain;
    for (const TextRun& run : splitTextRuns(label.text())) plain += run.text;
    return manager.measureText(label.showHtml() ? plain : label.text(), label.font()).cx;
}

// Shows the control: its page selected, hidden containers around it shown.
void reveal(CSkinControl* control) {
    for (CSkinControl* child = control; child->parent(); child = child->parent()) {
        CSkinControl* parent = child->parent();
        if (auto* tab = dynamic_cast<CSkinTabLayout*>(parent)) {
            for (size_t i = 0; i < tab->childCount(); ++i) {
                if (tab->childAt(i) == child) tab->selectItem(static_cast<int>(i));
            }
        } else {
            child->setVisible(true);
        }
    }
}

void expectLabelFits(CPaintManager& manager, CSkinLabel* label, const std::wstring& code) {
    SCOPED_TRACE(testing::Message() << manager.scale().dpi() << " dpi");
    if (label->isMultiline() || label->text().empty()) return;
    reveal(label);
    skintest::renderMarkup(manager);
    const RECT& r = label->rect();
    const int room = (r.right - r.left) - label->textPadding().left - label->textPadding().right;
    EXPECT_LE(textWidth(manager, *label), room)
        << testing::PrintToString(code) << ": " << testing::PrintToString(label->text()) << " overflows "
        << testing::PrintToString(label->name());
}

void expectFits(CPaintManager& manager, const wchar_t* name, const std::wstring& code) {
    auto* label = dynamic_cast<CSkinLabel*>(manager.findControl(name));
    ASSERT_NE(label, nullptr) << testing::PrintToString(name);
    expectLabelFits(manager, label, code);
}

// At every scale: fonts do not grow exactly in step with the layout.
TEST_F(ProductSkin, EveryTranslationFitsItsControl) {
    for (const auto& [code, dpi] : everyLanguageAtEveryScale()) {
        model::LanguageStrings strings = language(code);
        auto manager = build(L"mainframe.xml", dpi);
        for (const ui::ControlText& entry : ui::kLanguageTexts) {
            manager->findControl(entry.control)->setText(strings.get(entry.key));
            expectFits(*manager, entry.control, code);
        }
        // The install button also carries the custom-mode caption, the title bar the product name.
        manager->findControl(L"installnowbtn")->setText(strings.get(L"Button_install_now"));
        expectFits(*manager, L"installnowbtn", code);
        manager->findControl(L"titlename")->setText(strings.get(L"titlename"));
        expectFits(*manager, L"titlename", code);
        // The speed line at its longest: a four-digit speed and hours of waiting.
        const ui::TimeLeftTexts timeLeft{strings.get(L"progress_left_seconds"), strings.get(L"progress_left_minutes"),
                                         strings.get(L"progress_left_hours")};
        manager->findControl(L"downloadSpeedLabel")->setText(ui::speedText(1023 * 1024.0) + L" \x00B7 " +
                                                             ui::timeLeftText(99 * 3600 + 58 * 60, timeLeft));
        expectFits(*manager, L"downloadSpeedLabel", code);
        auto confirmation = build(L"downloaderbox.xml", dpi);
        for (const auto& [control, key] : {std::pair{L"btnLeft", L"Yes"}, {L"btnRight", L"No"}, {L"titlelabel", L"MSGBox_noice"}}) {
            confirmation->findControl(control)->setText(strings.get(key));
            expectFits(*confirmation, control, code);
        }
    }
}

// The slow-download tip's three choices, as the box adds them, in every language: each caption fits
// its button, and the row (for which the box widens when the layout is too narrow) stays narrower than
// the main window the tip belongs to.
TEST_F(ProductSkin, SlowTipChoicesFitInEveryLanguage) {
    const int mainWidth = build(L"mainframe.xml")->size().cx;
    for (const auto& [code, dpi] : everyLanguageAtEveryScale()) {
        model::LanguageStrings strings = language(code);
        auto box = build(L"common/xml_messagebox.xml", dpi);
        auto* bar = dynamic_cast<CSkinContainer*>(box->findControl(L"bottombar"));
        ASSERT_NE(bar, nullptr);
        for (const wchar_t* key : {L"download_keepwaiting", L"downloadBybrowser", L"download_close"}) {
            bar->addAt(std::make_unique<msg::CSelectionUI>(msg::Selection{strings.get(key), nullptr, true}),
                       bar->childCount() - 1);
        }
        const int row = bar->rowWidth();
        EXPECT_LE(row, mainWidth) << testing::PrintToString(code);
        if (row > box->size().cx) box->setSize(SIZE{row, box->size().cy});
        for (size_t i = 1; i + 1 < bar->childCount(); ++i) {
            expectLabelFits(*box, dynamic_cast<CSkinLabel*>(bar->childAt(i)), code);
        }
        EXPECT_LE(bar->childAt(bar->childCount() - 2)->rect().right, box->size().cx) << testing::PrintToString(code);
    }
}

// The viewer's picture of a layout in a language; extra options choose a page and set texts.
void expectPicture(const std::wstring& picture, const wchar_t* layout, const std::wstring& code,
                   const std::wstring& options = L"") {
    ::DeleteFileW(picture.c_str());
    EXPECT_TRUE(utility::process::execute(testsupport::toolPath(L"skinviewer.exe"),
                                          L"--language " + code + L" --png \"" + picture + L"\" " + options + layout,
                                          30000))
        << testing::PrintToString(picture);
    EXPECT_GT(testsupport::fileSize(picture), 2000) << testing::PrintToString(picture);
}

// The viewer draws every layout in every language, and the failure pages with their texts; the
// pictures stay with the test results.
TEST_F(ProductSkin, ViewerPaintsEveryLayoutInEveryLanguage) {
    const std::wstring folder = PELORA_SKIN_PICTURES;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* code : kLanguages) {
        for (const wchar_t* layout : kLayouts) {
            std::wstring stem = layout;
            stem = stem.substr(stem.find_last_of(L'/') + 1);
            stem = stem.substr(0, stem.find(L'.'));
            expectPicture(folder + L"\\" + stem + L"_" + code + L".png", layout, code);
        }
        const model::LanguageStrings strings = language(code);
        expectPicture(folder + L"\\mainframe_download_failed_" + code + L".png", L"mainframe.xml", code,
                      L"--page 6 --set \"downloadFailedLabel.text=" + strings.get(L"download_failed_connection") + L"\" ");
        expectPicture(folder + L"\\mainframe_install_failed_" + code + L".png", L"mainframe.xml", code, L"--page 7 ");
    }
    // As high contrast shows them, with this system's colours.
    expectPicture(folder + L"\\mainframe_high_contrast_en.png", L"mainframe.xml", L"en", L"--high-contrast ");
    expectPicture(folder + L"\\mainframe_high_contrast_progress_en.png", L"mainframe.xml", L"en",
                  L"--high-contrast --page 2 --set installprogressbar.value=42 ");
}


// A picture of the viewer: a layout, a page of it (-1: as the layout opens) and a language.
struct Picture {
    std::wstring layout;
    int page;
    std::wstring code;

    std::wstring stem() const {
        std::wstring name = layout.substr(layout.find_last_of(L'/') + 1);
        name = name.substr(0, name.find(L'.'));
        return name + (page >= 0 ? L"_p" + std::to_wstring(page) : L"") + L"_" + code;
    }
    std::wstring arguments(const std::wstring& png, const std::wstring& extra) const {
        return L"--language " + code + (page >= 0 ? L" --page " + std::to_wstring(page) : L"") + L" " + extra +
               L" --png \"" + png + L"\" " + layout;
    }
};

std::wstring picturesFolder(const std::wstring& sub = L"") {
    std::wstring folder = PELORA_SKIN_PICTURES;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    if (sub.empty()) return folder;
    folder += L"\\" + sub;
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// The width and height a PNG file's header gives.
SIZE pngSize(const std::wstring& file) {
    const std::string bytes = testsupport::readFile(file);
    if (bytes.size() < 24) return SIZE{};
    const auto word = [&](size_t at) {
        return static_cast<LONG>((static_cast<unsigned char>(bytes[at]) << 24) |
                                 (static_cast<unsigned char>(bytes[at + 1]) << 16) |
                                 (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]));
    };
    return SIZE{word(16), word(20)};
}

// Where the viewer drew every named control that shows, in the picture's pixels.
std::map<std::wstring, RECT> viewerRects(const Picture& picture, const std::wstring& png, const std::wstring& extra) {
    std::map<std::wstring, RECT> rects;
    const std::optional<std::string> output = testsupport::runCapturingOutput(
        testsupport::toolPath(L"skinviewer.exe"), picture.arguments(png, L"--rects " + extra), 30000);
    if (!output) {
        ADD_FAILURE() << "the viewer did not finish: " << testing::PrintToString(picture.stem());
        return rects;
    }
    std::istringstream lines(*output);
    std::string name;
    RECT r{};
    char comma = 0;
    while (lines >> name >> r.left >> comma >> r.top >> comma >> r.right >> comma >> r.bottom) {
        rects[utility::ustring::utf8ToWide(name)] = r;
    }
    return rects;
}

// The system's display scale (the prefix's LogPixels) for one case; programs started meanwhile
// draw at it.
class SystemDpi {
public:
    explicit SystemDpi(DWORD dpi) { EXPECT_TRUE(setting_.setDword(dpi)); }

private:
    testsupport::RegistryValueGuard setting_{L"Control Panel\\Desktop", L"LogPixels"};
};

void collectTextSized(const ControlLayout& layout, bool following, std::set<std::wstring>& names) {
    bool after = following;
    for (const ControlLayout& child : layout.children) {
        after = after || (layout.type == L"HorizontalLayout" && !child.attribute(L"minwidthex").empty());
        if (after && !child.attribute(L"name").empty()) names.insert(child.attribute(L"name"));
        collectTextSized(child, after, names);
    }
}

// The controls that take the width of their one-line text ("minwidthex"), and those that follow them
// in their row. Small fonts are hinted wider or narrower than large ones, so these follow their text
// (which EveryTranslationFitsItsControl checks) rather than the scale.
std::set<std::wstring> sizedByTheirText(const std::wstring& file) {
    std::set<std::wstring> names;
    const LayoutResult layout = loadLayout(file);
    if (const auto* window = std::get_if<WindowLayout>(&layout)) collectTextSized(window->root, false, names);
    return names;
}

// The viewer follows the system's scale: every control sits where its 100 % place, scaled, puts it,
// within the pixel that rounding may take, and the pictures are kept (the setup page at 200 % among
// them) beside the 100 % ones.
TEST_F(ProductSkin, LayoutsScaleWithTheSystemDpi) {
    std::vector<Picture> pictures{{L"downloaderbox.xml", -1, L"en"}, {L"common/xml_messagebox.xml", -1, L"en"},
                                  {L"mainframe.xml", -1, L"ar"}, {L"mainframe.xml", -1, L"kr"}};
    for (int page : {0, 1, 2, 3, 4, 6, 7}) pictures.push_back({L"mainframe.xml", page, L"en"});
    const std::wstring folder = picturesFolder();
    for (const Picture& picture : pictures) {
        const std::map<std::wstring, RECT> at100 =
            viewerRects(picture, folder + L"\\" + picture.stem() + L"_96dpi.png", L"--dpi 96");
        const SIZE size100 = pngSize(folder + L"\\" + picture.stem() + L"_96dpi.png");
        const std::set<std::wstring> followText = sizedByTheirText(picture.layout);
        ASSERT_GT(at100.size(), 3u) << testing::PrintToString(picture.stem());
        for (UINT dpi : {144u, 192u}) {
            SCOPED_TRACE(testing::Message() << testing::PrintToString(picture.stem()) << " at " << dpi << " dpi");
            const SystemDpi system(dpi);
            const std::wstring png = folder + L"\\" + picture.stem() + L"_" + std::to_wstring(dpi) + L"dpi.png";
            const std::map<std::wstring, RECT> scaled = viewerRects(picture, png, L"");
            const DisplayScale scale(dpi);
            const SIZE size = pngSize(png);
            EXPECT_EQ(size.cx, scale.toDevice(size100.cx));
            EXPECT_EQ(size.cy, scale.toDevice(size100.cy));
            ASSERT_EQ(scaled.size(), at100.size());
            for (const auto& [name, r] : at100) {
                const auto found = scaled.find(name);
                ASSERT_NE(found, scaled.end()) << testing::PrintToString(name);
                const RECT& s = found->second;
                EXPECT_LE(std::abs(s.top - scale.toDevice(r.top)), 1) << testing::PrintToString(name);
                EXPECT_LE(std::abs(s.bottom - scale.toDevice(r.bottom)), 1) << testing::PrintToString(name);
                if (followText.count(name)) continue;
                EXPECT_LE(std::abs(s.left - scale.toDevice(r.left)), 1) << testing::PrintToString(name);
                EXPECT_LE(std::abs(s.right - scale.toDevice(r.right)), 1) << testing::PrintToString(name);
            }
        }
    }
}

// At 100 % the viewer draws every layout, page and language exactly as it did before the toolkit
// could scale: the digests of those pictures are kept in pictures-at-96-dpi.txt.
TEST_F(ProductSkin, PicturesAtOneHundredPercentAreAsTheyWere) {
    std::istringstream lines(testsupport::readFile(PELORA_SKIN_DIGESTS));
    const std::wstring folder = picturesFolder(L"96dpi");
    std::string line;
    int compared = 0;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string digest, layout, page, code;
        fields >> digest >> layout >> page >> code;
        const Picture picture{utility::ustring::utf8ToWide(layout), page == "-" ? -1 : std::stoi(page),
                              utility::ustring::utf8ToWide(code)};
        const std::wstring png = folder + L"\\" + picture.stem() + L".png";
        ::DeleteFileW(png.c_str());
        ASSERT_TRUE(utility::process::execute(testsupport::toolPath(L"skinviewer.exe"),
                                              picture.arguments(png, L"--dpi 96"), 30000));
        const std::string drawn = utility::digest::sha256Hex(testsupport::readFile(png));
        EXPECT_EQ(drawn, digest) << "drawn otherwise; if meant, its line is now:\n"
                                 << drawn << " " << layout << " " << page << " " << code;
        ++compared;
    }
    EXPECT_EQ(compared, 144);
}
}  // namespace
