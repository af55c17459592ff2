#include "tests/windows/host/dll_image.h"

namespace cmp {

namespace {

template <class T>
const T* AtRva(HMODULE module, DWORD rva) {
    return reinterpret_cast<const T*>(reinterpret_cast<const BYTE*>(module) + rva);
}

}  // namespace

HMODULE ModuleOf(const cmp::PlugInLibrary& library) {
    return static_cast<HMODULE>(library.NativeHandle());
}

void* ExportByName(HMODULE module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}

void* ExportByOrdinal(HMODULE module, WORD ordinal) {
    return reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(ordinal)));
}

std::vector<ExportEntry> Exports(HMODULE module) {
    std::vector<ExportEntry> entries;
    if (module == nullptr) {
        return entries;
    }
    const auto* dos = AtRva<IMAGE_DOS_HEADER>(module, 0);
    const auto* nt = AtRva<IMAGE_NT_HEADERS32>(module, static_cast<DWORD>(dos->e_lfanew));
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (directory.VirtualAddress == 0 || directory.Size == 0) {
        return entries;
    }
    const auto* exports = AtRva<IMAGE_EXPORT_DIRECTORY>(module, directory.VirtualAddress);
    const auto* functions = AtRva<DWORD>(module, exports->AddressOfFunctions);
    const auto* names = AtRva<DWORD>(module, exports->AddressOfNames);
    const auto* nameOrdinals = AtRva<WORD>(module, exports->AddressOfNameOrdinals);
    for (DWORD i = 0; i < exports->NumberOfFunctions; ++i) {
        if (functions[i] == 0) {
            continue;
        }
        ExportEntry entry;
        entry.ordinal = exports->Base + i;
        for (DWORD n = 0; n < exports->NumberOfNames; ++n) {
            if (nameOrdinals[n] == i) {
                entry.name = AtRva<char>(module, names[n]);
            }
        }
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace cmp
