#pragma once
// Where a control of a program's window is: the same layout built from the same skin package inside
// the test program, brought into the state the window shows (texts of a language, visible parts,
// buttons the program adds), laid out once, and the control's rectangle taken. The mirror draws at
// its manager's DPI (96 until told the window's), so its places and pictures are in the window's
// device pixels.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/PaintManager.h"

namespace e2e {

class SkinMap {
public:
    // Builds a layout of the skin embedded in the test program (resource ZIPRES 129); the test fails
    // when it cannot be built.
    explicit SkinMap(const std::wstring& layout);
    ~SkinMap();

    // The main window's texts for a market language (a short code such as "kr"), as the program sets
    // them: its language file's texts, the licence and the home page address.
    void applyLanguage(const std::wstring& code);
    void setText(const std::wstring& name, const std::wstring& text);
    void setVisible(const std::wstring& name, bool visible);
    void setAttribute(const std::wstring& name, const std::wstring& attribute, const std::wstring& value);
    // Inserts a button before the container's last child (a message box's selection).
    void insertButton(const std::wstring& container, const std::wstring& text,
                      const std::vector<std::pair<std::wstring, std::wstring>>& attributes);

    // The control's rectangle in the window's client area (device pixels), its page selected and hidden
    // containers around it shown for the measurement only. Empty when there is no such control.
    RECT place(const std::wstring& name);
    // The rectangle the control has when shown, painted in the mirror's state (a hidden control leaves
    // what is behind it): premultiplied ARGB rows.
    std::vector<uint32_t> paint(const std::wstring& name, RECT& rect);
    // The centre of the control on the screen, for a window of this layout.
    POINT centreOnScreen(const std::wstring& name, HWND window);
    // A point inside the window that holds no control that reacts to clicks (the title bar's middle).
    POINT neutralPoint(HWND window);

    toolkit::CPaintManager& manager() { return *manager_; }

private:
    std::unique_ptr<toolkit::CPaintManager> manager_;
};

}  // namespace e2e
