#pragma once
// The popup list of a combo: a layered tool window below (or above) the combo that paints its
// entries, follows the mouse and keys, and deletes itself when it closes.

#include "toolkit/NativeWindow.h"
#include "toolkit/PaintManager.h"

namespace toolkit {

class CSkinCombo;
class ComboListView;

class ComboDropWindow : public CNativeWindow {
public:
    // Creates, places and shows the list for combo; null when the window cannot be made.
    static ComboDropWindow* open(CSkinCombo& combo);
    // The combo is going away: close without telling it.
    void detach() { combo_ = nullptr; }
    // Closes without choosing.
    void dismiss();
    // Closes, then selects entry index in the combo.
    void choose(int index);
    // The entry the mouse or the arrow keys point at.
    int hotIndex() const;
    bool rowOnScreen(int index, RECT& rect) const;

protected:
    const wchar_t* getWindowClassName() const override { return L"SkinComboDrop"; }
    UINT getClassStyle() const override { return CS_DBLCLKS | CS_DROPSHADOW; }
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void onFinalMessage(HWND hwnd) override;

private:
    explicit ComboDropWindow(CSkinCombo& combo);

    CSkinCombo* combo_;
    CPaintManager manager_;
    ComboListView* list_ = nullptr;
    bool closing_ = false;
    int chosen_ = -1;
    bool deactivated_ = false;  // closed by a click elsewhere
};

}  // namespace toolkit
