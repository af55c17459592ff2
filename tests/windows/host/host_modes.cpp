#include "tests/windows/host/host_modes.h"

#include <cstdio>
#include <filesystem>

#include "tests/models/test_models.h"
#include "tests/windows/host/dialog_driver.h"
#include "tests/windows/host/host_slots.h"
#include "tests/windows/host/host_support.h"

namespace cmp {

namespace fs = std::filesystem;

namespace {

DialogAnswer Answer(DialogKind kind, DialogAction action) {
    return {kind, action, {}, {}};
}

}  // namespace

bool ListPlugIn(const cmp::PlugInLibrary& library) {
    PlugInObject plugIn(library);
    if (plugIn.Get() == nullptr) {
        return false;
    }
    std::printf("kind %d: %s\n", static_cast<int>(host_abi::QueryKind(plugIn.Get())),
                host_abi::QueryTitle(plugIn.Get()));
    return true;
}

bool WriteComparisonFiles(const cmp::PlugInLibrary& library, const std::string& directory) {
    bool allWritten = true;
    PlugInObject plugIn(library);
    for (const TestModel& test : ComparisonModels()) {
        const std::string output = directory + "\\" + test.name + ".cmp";
        DeleteFileA(output.c_str());
        DialogDriver driver({{DialogKind::SaveFile, DialogAction::ConfirmPath, output, {}},
                             Answer(DialogKind::Result, DialogAction::PressContinue)});
        const std::int32_t result = host_abi::RunExport(plugIn.Get(), CreateTestModel(test.build));
        const bool written = result == 0 && fs::is_regular_file(output) &&
                             driver.Problems().empty() && driver.Unused() == 0;
        std::printf("%-20s %s\n", test.name, written ? "written" : "FAILED");
        allWritten = allWritten && written;
    }
    return allWritten;
}

namespace {

// The dialogs held for screenshots and the files that release them.
struct HoldState {
    DialogDriver* driver = nullptr;
    fs::path folder;
    std::string output;
};
HoldState holdState;

void CALLBACK PollRelease(HWND, UINT, UINT_PTR, DWORD) {
    HWND held = holdState.driver != nullptr ? holdState.driver->Held() : nullptr;
    if (held == nullptr) {
        return;
    }
    const bool save = ClassifyDialog(held) == DialogKind::SaveFile;
    const fs::path release = holdState.folder / (save ? "release-save" : "release-result");
    std::error_code ignored;
    if (fs::remove(release, ignored)) {
        holdState.driver->Release(save ? DialogAction::ConfirmPath : DialogAction::PressContinue,
                                  holdState.output);
    }
}

}  // namespace

bool HoldDialogs(const cmp::PlugInLibrary& library, const std::string& directory) {
    const fs::path folder(directory);
    const std::string output = (folder / "hardpoints.cmp").string();
    DeleteFileA(output.c_str());
    DialogDriver driver({{DialogKind::SaveFile, DialogAction::Hold, {}, {}},
                         {DialogKind::Result, DialogAction::Hold, {}, {}}},
                        nullptr, 400);
    holdState = {&driver, folder, output};
    const UINT_PTR poll = SetTimer(nullptr, 0, 100, PollRelease);
    std::printf("holding dialogs; create release-save, then release-result in %s\n",
                directory.c_str());
    std::fflush(stdout);
    PlugInObject plugIn(library);
    const std::int32_t result =
        host_abi::RunExport(plugIn.Get(), MakeModel(ModelChoice::Hardpoints));
    KillTimer(nullptr, poll);
    holdState = {};
    return result == 0;
}

}  // namespace cmp
