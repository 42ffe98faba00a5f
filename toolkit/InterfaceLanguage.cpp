#include "toolkit/InterfaceLanguage.h"

#include "toolkit/PaintManager.h"
#include "toolkit/TextTables.h"

namespace toolkit {

void switchInterfaceLanguage(const std::wstring& longCode) {
    setCurrentLanguage(longCode);
    loadTextTables();
    for (CPaintManager* manager : CPaintManager::all()) manager->reapplyTextKeys();
}

}  // namespace toolkit
