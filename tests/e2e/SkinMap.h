#pragma once
// Where a control of a program's window is: the same layout built from the same skin package inside
// the test program, brought into the state the window shows (texts of a language, visible parts,
// buttons the program adds), laid out once, and the control's rectangle taken.

#include <windows.h>

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

    // Texts of language\downloader_<code>.xml on the main window's controls, as the program sets them.
    void applyLanguage(const std::wstring& code);
    void setText(const std::wstring& name, const std::wstring& text);
    void setVisible(const std::wstring& name, bool visible);
    // Inserts a button before the container's last child (a message box's selection).
    void insertButton(const std::wstring& container, const std::wstring& text,
                      const std::vector<std::pair<std::wstring, std::wstring>>& attributes);

    // The control's rectangle in window coordinates, its page selected and hidden containers around it
    // shown for the measurement only. Empty when there is no such control.
    RECT place(const std::wstring& name);
    // The centre of the control on the screen, for a window of this layout.
    POINT centreOnScreen(const std::wstring& name, HWND window);
    // A point inside the window that holds no control that reacts to clicks (the title bar's middle).
    POINT neutralPoint(HWND window);

    toolkit::CPaintManager& manager() { return *manager_; }

private:
    std::unique_ptr<toolkit::CPaintManager> manager_;
};

}  // namespace e2e
