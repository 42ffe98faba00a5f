#include "tests/toolkit/SkinTestSupport.h"

#include <gtest/gtest.h>

#include "tests/support/MessagePump.h"
#include "tests/support/TestFiles.h"
#include "toolkit/ControlFactory.h"
#include "toolkit/GdiPlusSession.h"
#include "toolkit/ImageCache.h"
#include "toolkit/LayoutDocument.h"
#include "toolkit/PngFile.h"
#include "toolkit/SkinPackage.h"

namespace skintest {

namespace {

// GDI+ for the whole test program, ended after the last test.
class GdiPlusEnvironment : public ::testing::Environment {
public:
    void SetUp() override { session_ = std::make_unique<toolkit::GdiPlusSession>(); }
    void TearDown() override { session_.reset(); }

private:
    std::unique_ptr<toolkit::GdiPlusSession> session_;
};

const auto* const kGdiPlus = ::testing::AddGlobalTestEnvironment(new GdiPlusEnvironment);

}  // namespace

SkinFolder::SkinFolder() {
    toolkit::setResourceFolder(folder_.path());
    toolkit::clearImageCache();
}

SkinFolder::~SkinFolder() {
    toolkit::setResourceFolder(L"");
    toolkit::clearImageCache();
}

void SkinFolder::writeLayout(const std::wstring& name, const std::string& markup) const {
    testsupport::writeFile(folder_ / name, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + markup);
}

void SkinFolder::writeImage(const std::wstring& name, int width, int height,
                            const std::vector<uint32_t>& argb) const {
    toolkit::Canvas canvas(width, height);
    for (size_t i = 0; i < argb.size() && i < static_cast<size_t>(width) * height; ++i) {
        const uint32_t a = argb[i] >> 24;
        const uint32_t r = (argb[i] >> 16) & 0xFF, g = (argb[i] >> 8) & 0xFF, b = argb[i] & 0xFF;
        canvas.pixels()[i] = (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
    }
    ASSERT_TRUE(toolkit::savePng(canvas, folder_ / name));
}

std::unique_ptr<toolkit::CPaintManager> buildMarkup(const std::string& markup) {
    auto manager = std::make_unique<toolkit::CPaintManager>();
    toolkit::LayoutResult layout = toolkit::parseLayout(markup, L"test.xml");
    if (const auto* error = std::get_if<toolkit::LayoutError>(&layout)) {
        ADD_FAILURE() << "layout failed: " << error->message;
        return manager;
    }
    if (auto error = toolkit::buildWindow(std::get<toolkit::WindowLayout>(layout), L"test.xml", *manager, nullptr)) {
        ADD_FAILURE() << "build failed: " << error->message;
    }
    return manager;
}

std::unique_ptr<toolkit::Canvas> renderMarkup(toolkit::CPaintManager& manager) {
    const SIZE device = manager.deviceSize();
    auto canvas = std::make_unique<toolkit::Canvas>(device.cx, device.cy);
    manager.render(*canvas);
    return canvas;
}

LayoutWindow::LayoutWindow(std::wstring className, std::wstring layout, std::function<void(LayoutWindow&)> init)
    : className_(std::move(className)), layout_(std::move(layout)), init_(std::move(init)) {}

bool LayoutWindow::open(const std::wstring& title, int x, int y) {
    if (!create(nullptr, title, WS_POPUP, 0)) return false;
    ::SetWindowPos(hwnd(), HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
    showWindow();
    ::SetForegroundWindow(hwnd());
    return testsupport::pumpMessagesUntil([&] { return paintManager().frame() != nullptr; });
}

void LayoutWindow::notify(toolkit::Notification& notification) {
    if (notification.type == L"click") clicked.push_back(notification.sender->name());
    SkinWindow::notify(notification);
}

void LayoutWindow::initWindow() {
    if (init_) init_(*this);
}

uint32_t straight(uint32_t premultiplied) {
    const uint32_t a = premultiplied >> 24;
    if (a == 0) return 0;
    const auto channel = [&](int shift) { return std::min<uint32_t>(255, ((premultiplied >> shift) & 0xFF) * 255 / a); };
    return (a << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0);
}

}  // namespace skintest
