#pragma once
// A control holding child controls, which it owns, places and paints above its own background.

#include <memory>
#include <vector>

#include "toolkit/Control.h"

namespace toolkit {

enum class ChildAlign { Start, Center, End };

class CSkinContainer : public CSkinControl {
public:
    const wchar_t* typeName() const override { return L"Container"; }
    void* getInterface(const std::wstring& name) override;

    // Appends, or inserts before index (appends when index is past the end). Returns the control.
    CSkinControl* add(std::unique_ptr<CSkinControl> control);
    CSkinControl* addAt(std::unique_ptr<CSkinControl> control, size_t index);
    bool remove(CSkinControl* control);
    size_t childCount() const override { return children_.size(); }
    CSkinControl* childAt(size_t index) const override;
    // The width the stacked children need side by side at the widths they want (a stretching one
    // counts as 0), with their paddings, the gaps between them and the inset.
    int rowWidth() const;

    void setAttribute(const std::wstring& name, const std::wstring& value) override;
    void setPosition(const RECT& rect) override;
    void paint(Painter& painter) override;
    CSkinControl* findControlAt(POINT point) override;
    CSkinControl* findByName(const std::wstring& name) override;
    void attach(CPaintManager* manager, CSkinControl* parent) override;

protected:
    // Places the children that are not floating inside area (the rect minus the inset).
    virtual void layoutChildren(const RECT& area) = 0;
    // Floating children sit at their pos relative to the container's top-left corner.
    void placeFloating();
    std::vector<CSkinControl*> stackedChildren() const;

    RECT inset_{};
    int childPadding_ = 0;
    ChildAlign childAlign_ = ChildAlign::Start;
    ChildAlign childVAlign_ = ChildAlign::Start;

private:
    std::vector<std::unique_ptr<CSkinControl>> children_;
};

}  // namespace toolkit
