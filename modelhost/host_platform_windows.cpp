#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "core/text.h"
#include "files/files.h"
#include "modelhost/dialog_answers_windows.h"
#include "modelhost/gltf_import.h"
#include "modelhost/host_platform.h"
#include "modelhost/options.h"

namespace cmp {

namespace {

// The file a module was loaded from, or "" when Windows does not say.
std::string ModuleFile(HMODULE module) {
    std::string name(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(module, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            name.resize(length);
            return name;
        }
        name.resize(name.size() * 2);  // cut short: try a larger buffer
    }
}

bool IsAbsolute(const std::string& file) {
    return (file.size() > 2 && file[1] == ':' && (file[2] == '\\' || file[2] == '/')) ||
           file.rfind("\\\\", 0) == 0;
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// `wide` in the code page `codePage`, exactly; nothing when a character has no place in it.
std::optional<std::string> Narrow(const wchar_t* wide, UINT codePage) {
    const int length = static_cast<int>(std::wcslen(wide));
    if (length == 0) {
        return std::string();
    }
    BOOL lost = FALSE;
    // UTF-8 takes neither flag nor the lost-character report.
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* report = codePage == CP_UTF8 ? nullptr : &lost;
    const int size =
        WideCharToMultiByte(codePage, flags, wide, length, nullptr, 0, nullptr, report);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    if (size == 0 ||
        WideCharToMultiByte(codePage, flags, wide, length, narrow.data(), size, nullptr, report) !=
            size ||
        lost) {
        return std::nullopt;
    }
    return narrow;
}

}  // namespace

Result<std::vector<std::string>> ProgramArguments(int, char**) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return Error{ErrorCode::BadUsage,
                     "cannot read the command line: " + SystemErrorText(GetLastError())};
    }
    std::vector<std::string> arguments;
    std::optional<std::string> unfit;
    for (int i = 1; i < count && !unfit; ++i) {
        if (std::optional<std::string> argument = Narrow(wide[i], CP_ACP)) {
            arguments.push_back(std::move(*argument));
        } else {
            unfit = Narrow(wide[i], CP_UTF8).value_or("?");
        }
    }
    LocalFree(wide);
    if (unfit) {
        return Error{ErrorCode::BadUsage,
                     "'" + TerminalText(*unfit) +
                         "' has characters that Windows' ANSI code page (" +
                         std::to_string(GetACP()) +
                         ") lacks, and the plug-in takes names only in that code page: use a "
                         "name without them"};
    }
    return arguments;
}

std::optional<std::filesystem::path> ProgramFolder() {
    const std::string self = ModuleFile(nullptr);
    if (self.empty()) {
        return std::nullopt;
    }
    return std::filesystem::path(self).parent_path();
}

Result<LoadedPlugIn> LoadPlugIn(const std::string& path, const std::string& file) {
    LoadedPlugIn loaded;
    // From the plug-in's own folder first, as a host loads it: its neighbours are its.
    HMODULE module =
        LoadLibraryExA(file.c_str(), nullptr, IsAbsolute(file) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
    if (module == nullptr) {
        return Error{ErrorCode::PlugInNotLoaded, "cannot load the plug-in '" + TerminalText(path) +
                                                     "': " + SystemErrorText(GetLastError())};
    }
    loaded.library = module;
    // Through void*: FARPROC is Windows' stand-in for every function type.
    auto* create = reinterpret_cast<CreatePlugInFunction*>(
        reinterpret_cast<void*>(GetProcAddress(module, "CreatePlugIn")));
    if (create == nullptr) {
        return Error{ErrorCode::PlugInNotLoaded,
                     "the plug-in '" + TerminalText(path) + "' has no CreatePlugIn"};
    }
    loaded.file = ModuleFile(module);
    if (loaded.file.empty()) {
        loaded.file = file;
    }
    loaded.create = create;
    return loaded;
}

Result<ImportSummary> ImportModelFile(const std::string& path, ztModel model) {
    const std::string failure = "cannot import '" + TerminalText(path) + "': ";
    if (!IsGltfPath(path)) {
        return Error{ErrorCode::ImportFailed,
                     failure +
                         "modelhost on Windows reads glTF 2.0 files only (.glb, .gltf); "
                         "export the model as glTF 2.0 first"};
    }
    // In this process: the importer checks every count and offset of the file itself,
    // nests no deeper than it allows and never throws, so a hostile file ends in its
    // message.
    return ImportGltfModel(path, model);
}

void SetEnvironmentValue(const std::string& name, const std::string& value) {
    // An empty value removes the variable, which every reader takes as empty.
    _putenv_s(name.c_str(), value.c_str());
}

bool StandardStreamsAreTerminals() {
    return _isatty(0) != 0 && _isatty(1) != 0;
}

bool HasDesktop() {
    // A service or a remote shell runs on a window station nobody sees.
    USEROBJECTFLAGS flags{};
    HWINSTA station = GetProcessWindowStation();
    return station != nullptr &&
           GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

Status PrepareDialogs(const LoadedPlugIn& plugIn) {
    auto* module = static_cast<HMODULE>(plugIn.library);
    if (UsesConsoleDialogs(Variable("CMPEXPORT_UI"), HasDesktop())) {
        return AnswerDialogsOnConsole(module);
    }
    if (const std::string saveAs = Variable("CMPEXPORT_SAVE_AS"); !saveAs.empty()) {
        return OpenSaveDialogOn(module, saveAs);
    }
    return Status::Ok();
}

}  // namespace cmp
