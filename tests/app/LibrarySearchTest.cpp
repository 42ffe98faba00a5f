// Where the real downloader.exe takes its DLLs from. It runs elevated from the user's Downloads folder,
// so a DLL put there under a system DLL's name, or one put on PATH under the crash reporter's name,
// must never be loaded: its import table names only DLLs that every Windows takes from the system
// folder, and what it loads itself comes from the system folder or, for the crash reporter, by full path.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/app/ExitConfirmation.h"
#include "tests/e2e/AppProcess.h"
#include "tests/support/RegistryValueGuard.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/TestFiles.h"
#include "utility/UString.h"

using namespace testsupport;

namespace {

// The DLLs every Windows loads from the system folder whatever the program's folder holds ("known
// DLLs"), which an import table may therefore name.
const std::vector<std::string> kCoreDlls = {"kernel32.dll", "user32.dll", "gdi32.dll",    "advapi32.dll",
                                            "shell32.dll",  "ole32.dll",  "oleaut32.dll", "shlwapi.dll",
                                            "ws2_32.dll",   "msvcrt.dll", "imm32.dll"};

// DLL names in any case.
bool contains(const std::vector<std::string>& dlls, const std::string& dll) {
    return std::any_of(dlls.begin(), dlls.end(),
                       [&](const std::string& name) { return ::lstrcmpiA(name.c_str(), dll.c_str()) == 0; });
}

// A PE file read as it lies on disk: 32-bit and 64-bit alike, whatever this test program is.
class PeFile {
public:
    explicit PeFile(std::string bytes) : bytes_(std::move(bytes)) {
        IMAGE_DOS_HEADER dos{};
        if (!read(0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) return;
        headers_ = static_cast<size_t>(dos.e_lfanew);
        // The two kinds differ only from the optional header's magic on.
        valid_ = read(headers_, nt_) && nt_.Signature == IMAGE_NT_SIGNATURE;
    }
    bool valid() const { return valid_; }

    // The DLL names of the import table, as written there.
    std::vector<std::string> importedDlls() const {
        std::vector<std::string> names;
        const IMAGE_DATA_DIRECTORY imports = directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
        if (imports.VirtualAddress == 0) return names;
        IMAGE_IMPORT_DESCRIPTOR descriptor{};
        for (DWORD rva = imports.VirtualAddress;
             read(fileOffset(rva), descriptor) && descriptor.Name != 0 && fileOffset(descriptor.Name) < bytes_.size();
             rva += sizeof descriptor) {
            names.push_back(bytes_.c_str() + fileOffset(descriptor.Name));
        }
        return names;
    }

private:
    template <typename T>
    bool read(size_t offset, T& out) const {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) return false;
        std::memcpy(&out, bytes_.data() + offset, sizeof(T));
        return true;
    }
    IMAGE_DATA_DIRECTORY directory(int index) const {
        if (nt_.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC) return nt_.OptionalHeader.DataDirectory[index];
        IMAGE_NT_HEADERS64 nt64{};
        read(headers_, nt64);
        return nt64.OptionalHeader.DataDirectory[index];
    }
    // Where an address relative to the loaded image lies in the file; past the end when nowhere.
    size_t fileOffset(DWORD rva) const {
        const size_t sections =
            headers_ + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt_.FileHeader.SizeOfOptionalHeader;
        IMAGE_SECTION_HEADER section{};
        for (WORD i = 0; i < nt_.FileHeader.NumberOfSections && read(sections + i * sizeof section, section); ++i) {
            const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size) {
                return section.PointerToRawData + (rva - section.VirtualAddress);
            }
        }
        return bytes_.size();
    }

    std::string bytes_;
    size_t headers_ = 0;
    IMAGE_NT_HEADERS32 nt_{};
    bool valid_ = false;
};

std::wstring environmentValue(const wchar_t* name) {
    std::wstring value(::GetEnvironmentVariableW(name, nullptr, 0), L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), DWORD(value.size())));
    return value;
}

struct Planting {
    const char* name;
    bool onPath;  // in a folder of its own on PATH, else beside the program
    std::vector<std::wstring> dlls;
};

void PrintTo(const Planting& planting, std::ostream* out) { *out << planting.name; }

// Wine's load order of some DLLs for one program name, for one case
// (HKCU\\Software\\Wine\\AppDefaults\\<program>\\DllOverrides). Wine reads WINEDLLOVERRIDES from its own
// environment, not from the one a Windows program hands its child, so that variable cannot scope it.
class WineLoadOrder {
public:
    WineLoadOrder(const std::wstring& program, const std::vector<std::wstring>& dlls, const std::wstring& order) {
        const std::wstring key = L"Software\\Wine\\AppDefaults\\" + program + L"\\DllOverrides";
        for (const std::wstring& dll : dlls) {
            guards_.push_back(std::make_unique<testsupport::RegistryValueGuard>(key, dll.substr(0, dll.rfind(L'.'))));
            EXPECT_TRUE(guards_.back()->set(order));
        }
    }

private:
    std::vector<std::unique_ptr<testsupport::RegistryValueGuard>> guards_;
};

// The texts of a system dialog's static controls.
std::vector<std::wstring> staticTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    for (HWND child = ::FindWindowExW(dialog, nullptr, L"Static", nullptr); child != nullptr;
         child = ::FindWindowExW(dialog, child, L"Static", nullptr)) {
        texts.push_back(e2e::windowTitle(child));
    }
    return texts;
}

}  // namespace

TEST(DownloaderImports, NameOnlyDllsTheSystemFolderAlwaysProvides) {
    const PeFile program(readFile(toolPath(L"downloader.exe")));
    ASSERT_TRUE(program.valid());
    const std::vector<std::string> dlls = program.importedDlls();
    // A reader that finds nothing would pass the rest.
    EXPECT_TRUE(contains(dlls, "kernel32.dll"));
    for (const std::string& dll : dlls) {
        EXPECT_TRUE(contains(kCoreDlls, dll)) << dll << " is imported: Windows looks for it beside the program first";
    }
}

class PlantedLibrary : public ::testing::TestWithParam<Planting> {};

// Each planted DLL writes "<its name>.loaded" beside itself once loaded; the program must show its
// window and end normally without one of them being loaded. Wine prefers its own DLLs over files in
// the program's folder unless told otherwise; it is told to prefer the files, as Windows does.
TEST_P(PlantedLibrary, IsNeverLoaded) {
    const Planting& c = GetParam();
    const WineLoadOrder filesFirst(L"dllsearch.exe", c.dlls, L"native,builtin");
    const ScratchDir pathFolder;
    e2e::AppProcess app(toolPath(L"downloader.exe"), L"dllsearch.exe");
    const std::wstring folder = c.onPath ? pathFolder.path() : app.folder();
    for (const std::wstring& dll : c.dlls) {
        ASSERT_TRUE(::CopyFileW(toolPath(L"..\\plantedlib\\plantedlib.dll").c_str(), (folder + dll).c_str(), FALSE));
    }
    std::map<std::wstring, std::wstring> environment;
    if (c.onPath) environment[L"PATH"] = folder + L";" + environmentValue(L"PATH");

    ASSERT_TRUE(app.start(L"", environment));
    const HWND mainWindow = app.waitForWindow(L"updateMframe");
    EXPECT_NE(mainWindow, nullptr) << "the program ended or showed no window";
    if (mainWindow != nullptr) {
        EXPECT_TRUE(apptest::closeAndConfirm(mainWindow)) << "closing did not ask";
        EXPECT_TRUE(app.waitForExit(std::chrono::seconds(30)));
        EXPECT_EQ(app.exitCode().value_or(STILL_ACTIVE), 0u);
    }
    for (const std::wstring& dll : c.dlls) {
        EXPECT_FALSE(fileExists(folder + dll + L".loaded")) << utility::ustring::wideToUtf8(dll) << " was loaded";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlantedLibrary,
    ::testing::Values(
        // The DLLs the import table named before they were delay-loaded, and two more a link pulls in.
        Planting{"system_dlls_beside_the_program",
                 false,
                 {L"wininet.dll", L"IPHLPAPI.DLL", L"gdiplus.dll", L"bcrypt.dll", L"CRYPT32.dll", L"wintrust.dll",
                  L"secur32.dll"}},
        // Only the crash reporter beside the program is the program's own.
        Planting{"crash_reporter_on_the_path", true, {L"crashreport.dll"}}),
    [](const ::testing::TestParamInfo<Planting>& info) { return std::string(info.param.name); });


// A system without one of the delay-loaded DLLs (Wine told to load it neither way): the program says
// which, as the loader did when the DLL was in the import table, and ends before anything else ran.
TEST(DownloaderWithoutSystemDll, SaysWhichAndEnds) {
    const WineLoadOrder none(L"nosystemdll.exe", {L"iphlpapi.dll"}, L"");
    e2e::AppProcess app(toolPath(L"downloader.exe"), L"nosystemdll.exe");
    ASSERT_TRUE(app.start());
    const HWND box = app.waitForWindow(L"#32770");
    ASSERT_NE(box, nullptr) << "no box; exit code " << app.exitCode().value_or(STILL_ACTIVE);
    EXPECT_EQ(e2e::windowTitle(box), L"Error");
    const std::vector<std::wstring> texts = staticTexts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"IPHLPAPI.DLL was not found in the system folder."), texts.end());
    EXPECT_TRUE(app.windows(L"updateMframe").empty());
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(app.waitForExit(std::chrono::seconds(30)));
    EXPECT_EQ(app.exitCode().value_or(STILL_ACTIVE), 0u);
}
