#include "tests/e2e/MessageBoxMirror.h"

#include "toolkit/Control.h"

namespace e2e {

void mirrorMessage(SkinMap& box, const std::wstring& title, const std::wstring& text) {
    box.setText(L"titlelabel", title);
    for (const auto& [attribute, value] :
         {std::pair{L"align", L"center"}, {L"valign", L"vcenter"}, {L"multiline", L"true"}, {L"showhtml", L"true"}}) {
        box.setAttribute(L"descriptlabel", attribute, value);
    }
    box.setText(L"descriptlabel", text);
}

void mirrorSelection(SkinMap& box, const std::wstring& name, const std::wstring& text, bool primary) {
    box.insertButton(L"bottombar", text,
                     {{L"height", L"30"}, {L"valign", L"vcenter"}, {L"textpadding", L"20,0,20,0"},
                      {L"padding", L"10,0,10,0"}, {L"minwidthex", L"100"}, {L"font", L"1"}, {L"minwidth", L"90"},
                      {L"showhtml", L"true"}, {L"align", L"center"},
                      {L"bkcolor", primary ? L"#FF2196F3" : L"#FF484D59"},
                      {L"textcolor", primary ? L"#FFFFFFFF" : L"#FFC4C8CC"}});
    toolkit::CSkinControl* bar = box.manager().findControl(L"bottombar");
    if (bar && bar->childCount() >= 2) bar->childAt(bar->childCount() - 2)->setName(name);
}

}  // namespace e2e
