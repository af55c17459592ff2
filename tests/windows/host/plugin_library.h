// Loading the plug-in DLL as a host does, and what its export directory says.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct ExportEntry {
    std::uint32_t ordinal = 0;
    std::string name;  // empty for an entry exported by ordinal only
};

class PlugInLibrary {
  public:
    // Loads the DLL with LoadLibraryA; IsLoaded() tells whether that worked.
    explicit PlugInLibrary(const std::string& path);
    ~PlugInLibrary();
    PlugInLibrary(const PlugInLibrary&) = delete;
    PlugInLibrary& operator=(const PlugInLibrary&) = delete;

    bool IsLoaded() const { return module_ != nullptr; }
    HMODULE Module() const { return module_; }
    DWORD LoadError() const { return loadError_; }

    using CreateFunction = void*(__cdecl*)();
    CreateFunction CreateByName() const;
    CreateFunction CreateByOrdinal(WORD ordinal) const;
    // Every entry of the export directory, read from the mapped image.
    std::vector<ExportEntry> Exports() const;

  private:
    HMODULE module_ = nullptr;
    DWORD loadError_ = 0;
};
