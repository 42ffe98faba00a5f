// Opens a layout of the downloader's skin in a window, or renders it to a PNG without showing it,
// in any of the interface languages. For designers and translators, and for the README's pictures.
//
//   skinviewer.exe [--skin DIR] [--language CODE] [--page N] [--set NAME.ATTRIBUTE=VALUE]...
//                  [--dpi N] [--high-contrast] [--png FILE] [--rects] LAYOUT
//
// --skin uses a skin folder on disk before the packaged skin; --language applies the texts of
// language/downloader_CODE.xml (and the licence of that market); --page selects a page of the
// layout's tab layout; --set sets any attribute of a named control; --dpi draws a picture at that
// display scale (96 is 100 %; the system's DPI when not given); --high-contrast draws with the
// system's colours as when high contrast is on (which Wine cannot turn on); --rects prints where every named
// control that shows sits in the picture's pixels ("name left,top,right,bottom"), which scripts use
// to click it.
// Exit code 0 on success, 1 when the layout cannot be built or the picture cannot be written, 2 for
// a usage error.

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "model/LanguageStrings.h"
#include "toolkit/Canvas.h"
#include "toolkit/GdiPlusSession.h"
#include "toolkit/HighContrast.h"
#include "toolkit/MessageLoop.h"
#include "toolkit/PngFile.h"
#include "toolkit/SkinPackage.h"
#include "toolkit/SkinWindow.h"
#include "toolkit/TabLayout.h"
#include "ui/LanguageTexts.h"
#include "ui/LicenceText.h"
#include "utility/UString.h"

namespace {

struct Options {
    std::wstring skinFolder;
    std::wstring language;
    int page = -1;
    std::vector<std::wstring> settings;  // NAME.ATTRIBUTE=VALUE
    UINT dpi = 0;  // 0: the system's
    bool highContrast = false;
    std::wstring png;
    bool rects = false;
    std::wstring layout;
};

bool parseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == L"--skin" && hasValue) {
            options.skinFolder = argv[++i];
        } else if (argument == L"--language" && hasValue) {
            options.language = argv[++i];
        } else if (argument == L"--page" && hasValue) {
            options.page = _wtoi(argv[++i]);
        } else if (argument == L"--set" && hasValue) {
            options.settings.push_back(argv[++i]);
        } else if (argument == L"--dpi" && hasValue) {
            options.dpi = static_cast<UINT>(_wtoi(argv[++i]));
        } else if (argument == L"--high-contrast") {
            options.highContrast = true;
        } else if (argument == L"--png" && hasValue) {
            options.png = argv[++i];
        } else if (argument == L"--rects") {
            options.rects = true;
        } else if (!argument.empty() && argument[0] != L'-' && options.layout.empty()) {
            options.layout = argument;
        } else {
            return false;
        }
    }
    return !options.layout.empty();
}

void setText(toolkit::CPaintManager& manager, const wchar_t* control, const std::wstring& text) {
    if (toolkit::CSkinControl* found = manager.findControl(control)) found->setText(text);
}

// Texts as the downloader shows them, so a layout can be judged with real content in every language.
void applyLanguage(toolkit::CPaintManager& manager, const std::wstring& language) {
    model::LanguageStrings strings;
    const std::optional<std::string> file = toolkit::readSkinFile(L"language/downloader_" + language + L".xml");
    if (file) strings.load(utility::ustring::utf8ToWide(*file));
    for (const ui::ControlText& entry : ui::kLanguageTexts) setText(manager, entry.control, strings.get(entry.key));
    setText(manager, L"titlename", strings.get(L"titlename"));
    setText(manager, L"confirmprotocolbtn", strings.get(L"accept_protocol"));
    setText(manager, L"protocoledit", ui::licenceText(language));
    setText(manager, L"loadingprogresslabel", strings.get(L"Label_downloading") + L"42%)");
    setText(manager, L"downloadProgressLabel", L"252.00M/600.00M");
    setText(manager, L"apkinstallprogresslabel",
            strings.get(L"progress_downloading_label2") + L" Example Game\xFF1A" + L"12M / 96M (<c #268fd6>12%</c>)");
    setText(manager, L"titlelabel", strings.get(L"MSGBox_noice"));
    setText(manager, L"descriptlabel", strings.get(L"MsgBox_exit"));
    setText(manager, L"btnLeft", strings.get(L"Yes"));
    setText(manager, L"btnRight", strings.get(L"No"));
}

void applySetting(toolkit::CPaintManager& manager, const std::wstring& setting) {
    const size_t dot = setting.find(L'.');
    const size_t equals = setting.find(L'=', dot == std::wstring::npos ? 0 : dot);
    if (dot == std::wstring::npos || equals == std::wstring::npos) return;
    if (toolkit::CSkinControl* control = manager.findControl(setting.substr(0, dot))) {
        control->setAttribute(setting.substr(dot + 1, equals - dot - 1), setting.substr(equals + 1));
    }
}

toolkit::CSkinTabLayout* firstTabLayout(toolkit::CSkinControl* control) {
    if (!control) return nullptr;
    if (auto* tab = dynamic_cast<toolkit::CSkinTabLayout*>(control)) return tab;
    for (size_t i = 0; i < control->childCount(); ++i) {
        if (auto* tab = firstTabLayout(control->childAt(i))) return tab;
    }
    return nullptr;
}

void applyOptions(toolkit::CPaintManager& manager, const Options& options) {
    if (!options.language.empty()) applyLanguage(manager, options.language);
    if (options.page >= 0) {
        if (auto* tab = firstTabLayout(manager.root())) tab->selectItem(options.page);
    }
    for (const std::wstring& setting : options.settings) applySetting(manager, setting);
}

class PreviewWindow : public toolkit::SkinWindow {
public:
    explicit PreviewWindow(const Options& options) : options_(options) {}

protected:
    const wchar_t* getWindowClassName() const override { return L"SkinViewerPreview"; }
    std::wstring getSkinFile() const override { return options_.layout; }
    void initWindow() override { applyOptions(paintManager(), options_); }
    LRESULT onDestroy(WPARAM, LPARAM, bool& handled) override {
        ::PostQuitMessage(0);
        handled = false;
        return 0;
    }

private:
    const Options& options_;
};

void printRects(const toolkit::CPaintManager& manager, toolkit::CSkinControl* control) {
    if (!control || !control->isVisible()) return;
    const RECT r = manager.toScreen(control->rect());
    if (!control->name().empty()) {
        std::fwprintf(stdout, L"%ls %ld,%ld,%ld,%ld\n", control->name().c_str(), r.left, r.top, r.right, r.bottom);
    }
    for (size_t i = 0; i < control->childCount(); ++i) printRects(manager, control->childAt(i));
}

int renderPicture(const Options& options) {
    toolkit::LayoutResult layout = toolkit::loadLayout(options.layout);
    if (const auto* error = std::get_if<toolkit::LayoutError>(&layout)) {
        std::fwprintf(stderr, L"load resource errr. location:%ls msg:%ls\n", error->location.c_str(),
                      error->message.c_str());
        return 1;
    }
    toolkit::CPaintManager manager;
    manager.setDpi(options.dpi ? options.dpi : toolkit::systemDpi());
    if (auto error = toolkit::buildWindow(std::get<toolkit::WindowLayout>(layout), options.layout, manager, nullptr)) {
        std::fwprintf(stderr, L"load resource errr. location:%ls msg:%ls\n", error->location.c_str(),
                      error->message.c_str());
        return 1;
    }
    applyOptions(manager, options);
    const SIZE device = manager.deviceSize();
    toolkit::Canvas canvas(device.cx, device.cy);
    manager.render(canvas);
    if (options.rects) printRects(manager, manager.root());
    if (options.png.empty()) return 0;
    if (!toolkit::savePng(canvas, options.png)) {
        std::fwprintf(stderr, L"cannot write %ls\n", options.png.c_str());
        return 1;
    }
    std::fwprintf(stdout, L"%ls: %ldx%ld at %u DPI, painted in %.1f ms\n", options.png.c_str(), device.cx, device.cy,
                  manager.scale().dpi(), manager.lastPaintMs());
    return 0;
}

int showWindow(const Options& options) {
    PreviewWindow window(options);
    if (!window.create(nullptr, L"Skin viewer: " + options.layout, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0)) {
        return 1;
    }
    window.centerWindow();
    window.showWindow();
    return toolkit::runMessageLoop();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fwprintf(stderr,
                      L"usage: skinviewer [--skin DIR] [--language CODE] [--page N] "
                      L"[--set NAME.ATTRIBUTE=VALUE]... [--dpi N] [--high-contrast] [--png FILE] [--rects] LAYOUT\n");
        return 2;
    }
    toolkit::GdiPlusSession gdiPlus;
    toolkit::loadSkinPackage(::GetModuleHandleW(nullptr), 129);
    if (!options.skinFolder.empty()) toolkit::setResourceFolder(options.skinFolder);
    toolkit::forceHighContrast(options.highContrast);
    return options.png.empty() && !options.rects ? showWindow(options) : renderPicture(options);
}
