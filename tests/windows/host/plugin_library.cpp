#include "tests/windows/host/plugin_library.h"

namespace {

template <class T>
const T* AtRva(HMODULE module, DWORD rva) {
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + rva);
}

}  // namespace

PlugInLibrary::PlugInLibrary(const std::string& path) {
    module_ = LoadLibraryA(path.c_str());
    if (module_ == nullptr) {
        loadError_ = GetLastError();
    }
}

PlugInLibrary::~PlugInLibrary() {
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

PlugInLibrary::CreateFunction PlugInLibrary::CreateByName() const {
    return reinterpret_cast<CreateFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, "CreatePlugIn")));
}

PlugInLibrary::CreateFunction PlugInLibrary::CreateByOrdinal(WORD ordinal) const {
    return reinterpret_cast<CreateFunction>(
        reinterpret_cast<void*>(GetProcAddress(module_, MAKEINTRESOURCEA(ordinal))));
}

std::vector<ExportEntry> PlugInLibrary::Exports() const {
    std::vector<ExportEntry> entries;
    if (module_ == nullptr) {
        return entries;
    }
    const auto* dos = AtRva<IMAGE_DOS_HEADER>(module_, 0);
    const auto* nt = AtRva<IMAGE_NT_HEADERS32>(module_, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0 || directory.Size == 0) {
        return entries;
    }
    const auto* exports = AtRva<IMAGE_EXPORT_DIRECTORY>(module_, directory.VirtualAddress);
    const auto* functions = AtRva<DWORD>(module_, exports->AddressOfFunctions);
    const auto* names = AtRva<DWORD>(module_, exports->AddressOfNames);
    const auto* nameOrdinals = AtRva<WORD>(module_, exports->AddressOfNameOrdinals);
    for (DWORD i = 0; i < exports->NumberOfFunctions; ++i) {
        if (functions[i] == 0) {
            continue;
        }
        ExportEntry entry;
        entry.ordinal = exports->Base + i;
        for (DWORD n = 0; n < exports->NumberOfNames; ++n) {
            if (nameOrdinals[n] == i) {
                entry.name = AtRva<char>(module_, names[n]);
            }
        }
        entries.push_back(entry);
    }
    return entries;
}
