#pragma once
// Shared by the toolkit tests that build live controls: GDI+ for the whole program, a scratch
// skin folder searched before the package, markup built into a paint manager, and test images.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/ScratchDir.h"
#include "toolkit/Canvas.h"
#include "toolkit/PaintManager.h"
#include "toolkit/SkinWindow.h"

namespace skintest {

// A scratch folder that is the toolkit's resource folder while it lives; images are forgotten at
// both ends so each test reads its own.
class SkinFolder {
public:
    SkinFolder();
    ~SkinFolder();
    std::wstring path() const { return folder_.path(); }
    // Writes a layout: "<?xml ...?>" is prepended.
    void writeLayout(const std::wstring& name, const std::string& markup) const;
    // Writes a PNG of width x height from rows of straight (not premultiplied) ARGB pixels.
    void writeImage(const std::wstring& name, int width, int height, const std::vector<uint32_t>& argb) const;

private:
    testsupport::ScratchDir folder_;
};

// Builds "<Window ...>" markup into a paint manager without a window; the test fails on an error.
std::unique_ptr<toolkit::CPaintManager> buildMarkup(const std::string& markup);

// Lays out and paints the manager into a canvas of its size at its display scale.
std::unique_ptr<toolkit::Canvas> renderMarkup(toolkit::CPaintManager& manager);

// A real window made from a layout of the skin, which keeps the names of the controls clicked.
class LayoutWindow : public toolkit::SkinWindow {
public:
    // init runs once the layout is built, as a program's initWindow does.
    LayoutWindow(std::wstring className, std::wstring layout, std::function<void(LayoutWindow&)> init = {});
    std::vector<std::wstring> clicked;

    // Creates the window, places it at (x, y) on the screen, shows it in front and waits for its
    // first frame; false when any of that failed.
    bool open(const std::wstring& title, int x, int y);
    void notify(toolkit::Notification& notification) override;

protected:
    const wchar_t* getWindowClassName() const override { return className_.c_str(); }
    std::wstring getSkinFile() const override { return layout_; }
    void initWindow() override;

private:
    std::wstring className_;
    std::wstring layout_;
    std::function<void(LayoutWindow&)> init_;
};

// Straight ARGB of a premultiplied pixel (exact for opaque pixels).
uint32_t straight(uint32_t premultiplied);

}  // namespace skintest
