#include "app/DelayedImports.h"

#include "app/LibrarySearch.h"
#include "utility/UString.h"
#include "utility/USystem.h"

namespace app {

namespace {

HMODULE loadSystemLibrary(const char* name) {
    return loadLibraryFrom(utility::usystem::systemFolder(), utility::ustring::ansiToWide(name));
}

// An imported function's name, or its ordinal in the form GetProcAddress takes.
const char* procedureOf(const BYTE* image, const IMAGE_THUNK_DATA& entry) {
    if (IMAGE_SNAP_BY_ORDINAL(entry.u1.Ordinal)) return MAKEINTRESOURCEA(IMAGE_ORDINAL(entry.u1.Ordinal));
    return reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(image + entry.u1.AddressOfData)->Name;
}

std::wstring describe(const char* procedure) {
    if (IS_INTRESOURCE(procedure)) return L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(procedure));
    return utility::ustring::ansiToWide(procedure);
}

// dlltool's descriptors hold addresses relative to the image, as the helper requires.
std::optional<MissingImport> bind(BYTE* image, const ImgDelayDescr& descriptor) {
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(image + descriptor.rvaINT);
    if (names[0].u1.AddressOfData == 0) return std::nullopt;  // linked, but nothing of it is called
    const char* dll = reinterpret_cast<const char*>(image + descriptor.rvaDLLName);
    const HMODULE module = loadSystemLibrary(dll);
    if (module == nullptr) return MissingImport{utility::ustring::ansiToWide(dll), {}};
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(image + descriptor.rvaIAT);
    for (size_t i = 0; names[i].u1.AddressOfData != 0; ++i) {
        const char* procedure = procedureOf(image, names[i]);
        const FARPROC address = ::GetProcAddress(module, procedure);
        if (address == nullptr) return MissingImport{utility::ustring::ansiToWide(dll), describe(procedure)};
        addresses[i].u1.Function = reinterpret_cast<ULONG_PTR>(address);
    }
    // The helper then knows the DLL is loaded; it stays loaded for the life of the process.
    *reinterpret_cast<HMODULE*>(image + descriptor.rvaHmod) = module;
    return std::nullopt;
}

// MinGW's delay-load helper asks this first whenever it is about to load a DLL itself, which only a
// call made before wWinMain bound everything (a static constructor) can make happen. Left alone, the
// helper would load it by its bare name, from the program's folder first.
FARPROC WINAPI loadFromSystemFolder(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary) return nullptr;
    const HMODULE module = loadSystemLibrary(info->szDll);
    if (module == nullptr) {
        // Fail the way the helper fails, without its second try by bare name.
        const ULONG_PTR argument = reinterpret_cast<ULONG_PTR>(info);
        ::RaiseException(VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND), 0, 1, &argument);
    }
    return reinterpret_cast<FARPROC>(module);
}

}  // namespace

std::optional<MissingImport> bindDelayedImports(HMODULE image) {
    const DelayedImportList list = delayedImportList();
    for (size_t i = 0; i < list.count; ++i) {
        if (auto missing = bind(reinterpret_cast<BYTE*>(image), *list.descriptors[i])) return missing;
    }
    return std::nullopt;
}

}  // namespace app

// Declared by <delayimp.h>; defined here, MinGW's default (none) stays out of the link.
PfnDliHook __pfnDliNotifyHook2 = app::loadFromSystemFolder;
