#include "tests/support/ShellLink.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include "utility/ComApartment.h"
#include "utility/ScopedHandle.h"
#include "utility/UString.h"

namespace testsupport {

std::wstring desktopFolder() {
    wchar_t path[MAX_PATH] = {};
    EXPECT_EQ(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    return path;
}

Link readLink(const std::wstring& file) {
    const utility::ComApartment com;
    Link read;
    {
        utility::UniqueCom<IShellLinkW> link;
        utility::UniqueCom<IPersistFile> persist;
        if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(link.receive()))) ||
            FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(persist.receive()))) ||
            FAILED(persist.get()->Load(file.c_str(), STGM_READ))) {
            ADD_FAILURE() << "cannot load " << utility::ustring::wideToUtf8(file);
        } else {
            wchar_t text[INFOTIPSIZE] = {};
            link.get()->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
            read.target = text;
            text[0] = L'\0';
            link.get()->GetArguments(text, INFOTIPSIZE);
            read.arguments = text;
            text[0] = L'\0';
            link.get()->GetIconLocation(text, MAX_PATH, &read.iconIndex);
            read.icon = text;
            text[0] = L'\0';
            link.get()->GetWorkingDirectory(text, MAX_PATH);
            read.folder = text;
        }
    }
    return read;
}

}  // namespace testsupport
