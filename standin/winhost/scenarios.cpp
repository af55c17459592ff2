#include "standin/winhost/scenarios.h"

#include <commctrl.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

#include "standin/winhost/dialog_driver.h"
#include "standin/winhost/host_slots.h"
#include "standin/winhost/import_spy.h"
#include "standin/winhost/thiscall_probe.h"
#include "standin/ztModelBuilder.h"
#include "tests/models/test_models.h"
#include "utf/utf_reader.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* Title = "Quorvane CMP...";
constexpr const char* TempStream = "___temp.vms";
constexpr const char* ResultCaption = "Quorvane CMP Exporter";
constexpr const char* StreamCaption = "Error exporting VMS file";
constexpr const char* StreamText =
    "Could not open export file for some reason, check if it's not being used by another "
    "application!";
constexpr const char* TreeCaption = "Error exporting CMP file";
constexpr const char* EmptyText = "The model is empty!  Nothing exported!";
constexpr const char* EmptyCaption = "Ahem.. hello? :-)";
constexpr UINT Warning = 0x30;
constexpr UINT Error = 0x10;

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

// A fresh, empty working folder for one case; the previous one comes back at the end.
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& name) {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        path_ = fs::path(temp) / ("winhost-" + std::to_string(GetCurrentProcessId()) + "-" + name);
        std::error_code ignored;
        fs::remove_all(path_, ignored);
        fs::create_directories(path_);
        previous_ = fs::current_path();
        fs::current_path(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // Everything in the folder, by name.
    std::vector<std::string> Contents() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

  private:
    fs::path path_;
    fs::path previous_;
};

std::optional<Bytes> ReadWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The tree a file holds, depth-first as a tree view lists it; nothing when unreadable.
std::optional<std::vector<TreeItemSnapshot>> FileTree(const fs::path& path) {
    std::optional<Bytes> bytes = ReadWhole(path);
    if (!bytes) {
        return std::nullopt;
    }
    NodeTree tree;
    UtfReadError error;
    if (!ReadUtfFile(*bytes, tree, error)) {
        return std::nullopt;
    }
    std::vector<TreeItemSnapshot> items;
    std::vector<std::pair<NodeHandle, int>> pending;
    if (tree.GetRoot()) {
        pending.emplace_back(tree.GetRoot(), 0);
    }
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        items.push_back({depth, tree.GetName(node), false});
        if (NodeHandle sibling = tree.GetNextSibling(node)) {
            pending.emplace_back(sibling, depth);
        }
        if (NodeHandle child = tree.GetFirstChild(node)) {
            pending.emplace_back(child, depth + 1);
        }
    }
    return items;
}

// A plug-in object from CreatePlugIn, destroyed through slot 0 as a host does.
class PlugInObject {
  public:
    explicit PlugInObject(PlugInLibrary& library) {
        if (auto create = library.CreateByName()) {
            object_ = create();
        }
    }
    ~PlugInObject() {
        if (object_ != nullptr) {
            host_abi::Destroy(object_, 1);
        }
    }
    PlugInObject(const PlugInObject&) = delete;
    PlugInObject& operator=(const PlugInObject&) = delete;
    void* Get() const { return object_; }

  private:
    void* object_ = nullptr;
};

// ---------------------------------------------------------------- the DLL's face

void CheckExports(PlugInLibrary& library, Checks& checks) {
    checks.Begin("exports: only CreatePlugIn, ordinal 1, by name and by ordinal alike");
    const std::vector<ExportEntry> exports = library.Exports();
    checks.Equal(exports.size(), std::size_t{1}, "number of exported entries");
    if (!exports.empty()) {
        checks.Equal(exports[0].ordinal, 1u, "ordinal of the export");
        checks.Equal(exports[0].name, std::string("CreatePlugIn"), "name of the export");
    }
    auto byName = library.CreateByName();
    auto byOrdinal = library.CreateByOrdinal(1);
    checks.Expect(byName != nullptr, "CreatePlugIn is found by name");
    checks.Expect(byName == byOrdinal, "ordinal 1 is the same function as CreatePlugIn");
    checks.Expect(library.CreateByOrdinal(2) == nullptr, "ordinal 2 does not exist");
}

// Reads a DLGTEMPLATE (not the extended form) field by field.
class TemplateReader {
  public:
    TemplateReader(const BYTE* data, DWORD size) : data_(data), size_(size) {}
    bool Ok() const { return ok_; }
    std::uint16_t Word() {
        if (offset_ + 2 > size_) {
            ok_ = false;
            return 0;
        }
        std::uint16_t value = static_cast<std::uint16_t>(data_[offset_] | data_[offset_ + 1] << 8);
        offset_ += 2;
        return value;
    }
    std::uint32_t Dword() {
        const std::uint32_t low = Word();
        return low | static_cast<std::uint32_t>(Word()) << 16;
    }
    // A string or ordinal field: "#<n>" for an ordinal, the text otherwise (ASCII).
    std::string NameOrOrdinal() {
        std::uint16_t first = Word();
        if (first == 0xFFFF) {
            return "#" + std::to_string(Word());
        }
        std::string text;
        while (ok_ && first != 0) {
            text.push_back(static_cast<char>(first));
            first = Word();
        }
        return text;
    }
    void AlignDword() { offset_ = (offset_ + 3) & ~std::size_t{3}; }

  private:
    const BYTE* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool ok_ = true;
};

struct TemplateItem {
    std::uint32_t style, exStyle;
    std::int16_t x, y, cx, cy;
    std::uint16_t id;
    std::string className, text;
};

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

BOOL CALLBACK CollectResourceName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    auto& names = *reinterpret_cast<std::vector<std::string>*>(found);
    names.push_back(IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name))
                                         : std::string(name));
    return TRUE;
}

void CheckDialogTemplate(PlugInLibrary& library, Checks& checks) {
    checks.Begin("resource: dialog template 2000 is in the DLL, as designed");
    HMODULE module = library.Module();
    std::vector<std::string> dialogs;
    EnumResourceNamesA(module, RT_DIALOG, CollectResourceName,
                       reinterpret_cast<LONG_PTR>(&dialogs));
    checks.Equal(dialogs.size(), std::size_t{1}, "number of dialog templates");
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(2000), RT_DIALOG);
    checks.Expect(resource != nullptr, "template 2000 exists");
    if (resource == nullptr) {
        return;
    }
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    TemplateReader reader(data, SizeofResource(module, resource));
    checks.Equal(Hex(reader.Dword()), Hex(0x80C800C0), "dialog style");
    checks.Equal(Hex(reader.Dword()), Hex(0), "dialog extended style");
    const std::uint16_t count = reader.Word();
    checks.Equal(count, 2, "number of controls");
    const std::int16_t x = static_cast<std::int16_t>(reader.Word());
    const std::int16_t y = static_cast<std::int16_t>(reader.Word());
    const std::int16_t cx = static_cast<std::int16_t>(reader.Word());
    const std::int16_t cy = static_cast<std::int16_t>(reader.Word());
    checks.Expect(x == 0 && y == 0 && cx == 220 && cy == 164, "position 0, 0 and size 220 x 164");
    checks.Equal(reader.NameOrOrdinal(), std::string(), "menu");
    checks.Equal(reader.NameOrOrdinal(), std::string(), "window class");
    checks.Equal(reader.NameOrOrdinal(), std::string(ResultCaption), "caption");
    checks.Equal(reader.Word(), 8, "font size in points");
    checks.Equal(reader.NameOrOrdinal(), std::string("MS Sans Serif"), "font");
    std::vector<TemplateItem> items;
    for (std::uint16_t i = 0; i < count && reader.Ok(); ++i) {
        reader.AlignDword();
        TemplateItem item{};
        item.style = reader.Dword();
        item.exStyle = reader.Dword();
        item.x = static_cast<std::int16_t>(reader.Word());
        item.y = static_cast<std::int16_t>(reader.Word());
        item.cx = static_cast<std::int16_t>(reader.Word());
        item.cy = static_cast<std::int16_t>(reader.Word());
        item.id = reader.Word();
        item.className = reader.NameOrOrdinal();
        item.text = reader.NameOrOrdinal();
        const std::uint16_t extra = reader.Word();
        checks.Equal(extra, 0, "creation data of control " + std::to_string(i));
        items.push_back(item);
    }
    checks.Expect(reader.Ok(), "the template is complete");
    if (items.size() != 2) {
        return;
    }
    const TemplateItem& button = items[0];
    checks.Equal(button.id, IDCANCEL, "first control's id");
    checks.Equal(button.className, std::string("#128"), "first control is a button");
    checks.Equal(button.text, std::string("Continue"), "button text");
    checks.Equal(Hex(button.style), Hex(0x50010000), "button style");
    checks.Equal(Hex(button.exStyle), Hex(0), "button extended style");
    checks.Expect(button.x == 84 && button.y == 143 && button.cx == 50 && button.cy == 14,
                  "button at 84, 143, 50 x 14");
    const TemplateItem& tree = items[1];
    checks.Equal(tree.id, 2010, "second control's id");
    checks.Equal(Upper(tree.className), Upper(WC_TREEVIEWA), "second control is a tree view");
    checks.Equal(tree.text, std::string("Tree1"), "tree view text");
    checks.Equal(Hex(tree.style), Hex(0x50810007), "tree view style");
    checks.Equal(Hex(tree.exStyle), Hex(0), "tree view extended style");
    checks.Expect(tree.x == 7 && tree.y == 7 && tree.cx == 206 && tree.cy == 131,
                  "tree view at 7, 7, 206 x 131");
}

// ---------------------------------------------------------------- the slots

void CheckSlots(PlugInLibrary& library, Checks& checks) {
    checks.Begin("slots: kind, title and calls through thiscall pointers");
    PlugInObject first(library);
    PlugInObject second(library);
    checks.Expect(first.Get() != nullptr && second.Get() != nullptr, "CreatePlugIn gives objects");
    if (first.Get() == nullptr || second.Get() == nullptr) {
        return;
    }
    checks.Expect(first.Get() != second.Get(), "every call creates a new object");
    checks.Equal(host_abi::QueryKind(first.Get()), 2, "QueryKind");
    const char* title = host_abi::QueryTitle(first.Get());
    checks.Equal(std::string(title), std::string(Title), "QueryTitle");
    checks.Expect(host_abi::QueryTitle(first.Get()) == title, "the same title address every call");
    checks.Expect(host_abi::QueryTitle(second.Get()) != title, "each object has its own title");
    checks.Equal(host_abi::RunExport(first.Get(), nullptr), -1, "RunExport of a null model");
    checks.Expect(host_abi::QueryTitle(first.Get()) == title, "title unchanged after a run");
}

void CheckCallingConvention(PlugInLibrary& library, Checks& checks) {
    checks.Begin("thiscall probe: this in ECX, the callee pops its arguments");
    PlugInObject self(library);
    PlugInObject decoy(library);
    if (self.Get() == nullptr || decoy.Get() == nullptr) {
        checks.Expect(false, "CreatePlugIn gives objects");
        return;
    }
    void* const* table = host_abi::SlotTable(self.Get());
    const auto decoyWord =
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(decoy.Get()));
    const std::uint32_t nullModel[] = {0};
    for (std::uint32_t misalign : {0u, 4u, 8u, 12u}) {
        const std::string where = " (stack off by " + std::to_string(misalign) + ")";
        ProbeOutcome kind = ProbeThiscall(table[1], self.Get(), nullptr, 0, decoyWord, misalign);
        checks.Equal(kind.result, 2u, "slot 1 result" + where);
        checks.Equal(kind.stackDelta, 0, "slot 1 leaves the stack" + where);
        checks.Expect(kind.registersKept, "slot 1 keeps EBX, ESI, EDI, EBP" + where);

        ProbeOutcome title = ProbeThiscall(table[2], self.Get(), nullptr, 0, decoyWord, misalign);
        checks.Expect(title.result == static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(
                                          host_abi::QueryTitle(self.Get()))),
                      "slot 2 answers for the object in ECX, not the one on the stack" + where);
        checks.Equal(title.stackDelta, 0, "slot 2 leaves the stack" + where);
        checks.Expect(title.registersKept, "slot 2 keeps EBX, ESI, EDI, EBP" + where);

        ProbeOutcome run = ProbeThiscall(table[3], self.Get(), nullModel, 1, decoyWord, misalign);
        checks.Equal(static_cast<std::int32_t>(run.result), -1, "slot 3 with a null model" + where);
        checks.Equal(run.stackDelta, 0, "slot 3 pops its one argument" + where);
        checks.Expect(run.registersKept, "slot 3 keeps EBX, ESI, EDI, EBP" + where);
    }
    // Slot 0 last: it ends the object. Freed here through the probe, so not again.
    auto* create = library.CreateByName();
    void* doomed = create != nullptr ? create() : nullptr;
    if (doomed != nullptr) {
        const std::uint32_t freeIt[] = {1};
        ProbeOutcome destroyed =
            ProbeThiscall(host_abi::SlotTable(doomed)[0], doomed, freeIt, 1, decoyWord, 4);
        checks.Expect(destroyed.result == reinterpret_cast<std::uintptr_t>(doomed),
                      "slot 0 returns the object's address");
        checks.Equal(destroyed.stackDelta, 0, "slot 0 pops its flags");
        checks.Expect(destroyed.registersKept, "slot 0 keeps EBX, ESI, EDI, EBP");
    }
}

void CheckDestroyFlags(PlugInLibrary& library, Checks& checks) {
    checks.Begin("slot 0: bit 0 of the flags decides whether the memory is freed");
    auto* create = library.CreateByName();
    ImportSpy spy(library.Module());
    checks.Expect(spy.Installed(), "the host can watch the plug-in's free()");
    if (create == nullptr || !spy.Installed()) {
        return;
    }
    void* kept = create();
    spy.WatchFree(kept);
    checks.Expect(host_abi::Destroy(kept, 0) == kept, "flags 0: returns the object's address");
    checks.Expect(!spy.WatchedBlockFreed(), "flags 0: the memory is not freed");
    // Still a live block of the C runtime that host and plug-in share: the host frees it.
    checks.Expect(_msize(kept) >= 4 + 64, "flags 0: the block is still allocated, whole");
    free(kept);

    void* freed = create();
    spy.WatchFree(freed);
    checks.Expect(host_abi::Destroy(freed, 1) == freed, "flags 1: returns the object's address");
    checks.Expect(spy.WatchedBlockFreed(), "flags 1: the memory is freed");
    spy.WatchFree(nullptr);
}

// ---------------------------------------------------------------- exports

enum class ModelChoice { Null, Empty, OnlyHardpoints, Cube, Hardpoints, OverLimit };

ztModel MakeModel(ModelChoice choice) {
    auto named = [](const char* name) {
        for (const TestModel& model : ComparisonModels()) {
            if (std::strcmp(model.name, name) == 0) {
                return CreateTestModel(model.build);
            }
        }
        return ztModel{};
    };
    switch (choice) {
        case ModelChoice::Null:
            return nullptr;
        case ModelChoice::Empty:
            return CreateTestModel(BuildEmptyModel);
        case ModelChoice::OnlyHardpoints:
            return named("only_hardpoints");
        case ModelChoice::Cube:
            return named("cube");
        case ModelChoice::Hardpoints:
            return named("hardpoints");
        case ModelChoice::OverLimit:
            return CreateTestModel(BuildOverLimitModel);
    }
    return nullptr;
}

struct ExpectedBox {
    const char* caption;
    const char* text;  // null: any text (the reason is the plug-in's to word)
    UINT type;
};

// One export case, run in a fresh scratch folder.
struct ExportCase {
    std::string name{};
    ModelChoice model = ModelChoice::Cube;
    // What to prepare in the scratch folder before the run.
    std::function<void(const ScratchFolder&)> prepare = nullptr;
    // What is typed into the save dialog, relative to the scratch folder; empty: Cancel.
    std::string typedName{};
    // The file the export writes there; empty: the typed name.
    std::string writtenName{};
    // When not 0, the typed name is made up so that the full path has this length.
    std::size_t pathLength = 0;
    // Runs once the save dialog has closed.
    std::function<void(const ScratchFolder&)> afterSaveClosed = nullptr;
    // The dialogs after the save dialog, in order.
    std::vector<DialogAnswer> afterSave{};
    std::int32_t result = 0;
    bool saveDialogShown = false;
    bool resultDialogShown = false;
    bool fileWritten = false;
    std::vector<ExpectedBox> boxes{};
};

DialogAnswer Answer(DialogKind kind, DialogAction action) {
    return {kind, action, {}, {}};
}

void CheckSaveDialogCall(const SaveDialogCall& call, Checks& checks) {
    static const std::string filters("CMP Files (*.cmp)\0*.cmp\0All Files (*.*)\0*.*\0\0", 45);
    checks.Equal(call.structSize, 76ul, "lStructSize");
    checks.Expect(call.owner == nullptr && call.instance == nullptr, "no owner, no instance");
    checks.Expect(call.filterList == filters, "filter list with its double NUL");
    checks.Expect(call.customFilterNull && call.maxCustomFilter == 0 && call.filterIndex == 0,
                  "no custom filter, filter index 0");
    checks.Equal(call.fileBufferStart, std::string(), "file buffer starts empty");
    checks.Equal(call.maxFile, 256ul, "nMaxFile");
    checks.Expect(!call.fileTitleBufferNull && call.fileTitleBufferStart.empty(),
                  "file title buffer given, empty");
    checks.Equal(call.maxFileTitle, 256ul, "nMaxFileTitle");
    checks.Expect(call.initialDirNull, "no initial folder");
    checks.Equal(call.title, std::string("Export QV CMP"), "title");
    checks.Equal(Hex(call.flags), Hex(0x806), "Flags");
    checks.Equal(call.defaultExtension, std::string("cmp"), "default extension");
    checks.Expect(call.customData == 0 && call.hookNull && call.templateNameNull,
                  "no custom data, hook or template");
}

std::string Text(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "-" +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

bool Near(LONG a, LONG b) {
    return a - b <= 1 && b - a <= 1;
}

void CheckResultDialog(const DialogSnapshot& seen, const fs::path& output, Checks& checks) {
    checks.Equal(seen.caption, std::string(ResultCaption), "result dialog caption");
    checks.Expect(seen.ownerless, "the result dialog has no owner");
    const DWORD mustHave = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    const DWORD mustNot = WS_CHILD | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    checks.Expect((seen.style & mustHave) == mustHave && (seen.style & mustNot) == 0,
                  "result dialog style " + Hex(seen.style));
    const LONG centreX = (seen.windowRect.left + seen.windowRect.right) / 2;
    const LONG centreY = (seen.windowRect.top + seen.windowRect.bottom) / 2;
    checks.Expect(Near(centreX, (seen.workArea.left + seen.workArea.right) / 2) &&
                      Near(centreY, (seen.workArea.top + seen.workArea.bottom) / 2),
                  "the dialog is centred on the work area");
    checks.Expect(seen.button.exists && seen.button.className == "Button", "the button exists");
    checks.Equal(seen.button.text, std::string("Continue"), "button text");
    checks.Equal(Hex(seen.button.style & 0xFFFF0000u), Hex(0x50010000), "button style");
    checks.Expect((seen.button.style & 0xFu) <= BS_DEFPUSHBUTTON, "a push button");
    checks.Expect(EqualRect(&seen.button.rectInDialog, &seen.buttonTemplateRect) != 0,
                  "button at 84, 143, 50 x 14 dialog units");
    checks.Expect(seen.buttonFocused, "\"Continue\" has the focus");
    checks.Expect(seen.tree.exists && Upper(seen.tree.className) == Upper(WC_TREEVIEWA),
                  "the tree view exists");
    // The dialog manager draws a child's WS_BORDER as a sunken client edge instead.
    const bool borderAsEdge =
        (seen.tree.style & WS_BORDER) == 0 && (seen.tree.exStyle & WS_EX_CLIENTEDGE) != 0;
    checks.Equal(Hex(seen.tree.style | (borderAsEdge ? WS_BORDER : 0)), Hex(0x50810007),
                 "tree view style");
    checks.Expect(EqualRect(&seen.tree.rectInDialog, &seen.treeTemplateRect) != 0,
                  "tree view at 7, 7, 206 x 131 dialog units: " + Text(seen.tree.rectInDialog) +
                      " for " + Text(seen.treeTemplateRect));
    std::optional<std::vector<TreeItemSnapshot>> written = FileTree(output);
    checks.Expect(written.has_value(), "the written file reads back as a tree file");
    if (!written) {
        return;
    }
    checks.Equal(seen.treeCount, static_cast<int>(written->size()), "tree view item count");
    bool same = seen.items.size() == written->size();
    bool collapsed = true;
    for (std::size_t i = 0; same && i < written->size(); ++i) {
        same =
            seen.items[i].name == (*written)[i].name && seen.items[i].depth == (*written)[i].depth;
        collapsed = collapsed && !seen.items[i].expanded;
    }
    checks.Expect(same, "the view shows the written tree, node for node, in order");
    checks.Expect(collapsed, "every item is collapsed");
}

void RunExportCase(PlugInLibrary& library, const ExportCase& test, Checks& checks) {
    checks.Begin("export: " + test.name);
    ScratchFolder scratch("export-" + std::to_string(std::hash<std::string>{}(test.name)));
    if (test.prepare) {
        test.prepare(scratch);
    }
    const std::vector<std::string> before = scratch.Contents();
    std::string typed = test.typedName.empty() ? "" : scratch.File(test.typedName);
    if (test.pathLength != 0) {
        const std::size_t folderLength = scratch.File("").size();
        typed = scratch.File(std::string(test.pathLength - folderLength - 4, 'n') + ".cmp");
    }
    const std::string output = test.writtenName.empty() ? typed : scratch.File(test.writtenName);

    std::vector<DialogAnswer> script;
    if (test.saveDialogShown) {
        DialogAnswer save = Answer(DialogKind::SaveFile, DialogAction::Cancel);
        if (!typed.empty()) {
            save.action = DialogAction::ConfirmPath;
            save.path = typed;
        }
        if (test.afterSaveClosed) {
            save.afterClose = [&] { test.afterSaveClosed(scratch); };
        }
        script.push_back(save);
    }
    script.insert(script.end(), test.afterSave.begin(), test.afterSave.end());
    // While the result dialog shows, the file must be complete and the stream gone.
    bool fileCompleteAtShow = false;
    bool streamGoneAtShow = false;
    auto onShow = [&](DialogSnapshot& seen) {
        if (seen.kind == DialogKind::Result) {
            fileCompleteAtShow = FileTree(output).has_value();
            streamGoneAtShow = !fs::exists(TempStream);
        }
    };

    PlugInObject plugIn(library);
    ImportSpy spy(library.Module());
    checks.Expect(spy.Installed(), "the host can watch MessageBoxA and GetSaveFileNameA");
    ztModel model = MakeModel(test.model);
    const std::int32_t destroyedBefore = ztBuild_DestroyCount();
    const std::int32_t nullCallsBefore = ztBuild_NullHandleCalls();
    std::int32_t result = 0;
    std::vector<DialogSnapshot> seen;
    std::vector<std::string> problems;
    std::size_t unused = 0;
    {
        DialogDriver driver(script, onShow);
        result = host_abi::RunExport(plugIn.Get(), model);
        seen = driver.Seen();
        problems = driver.Problems();
        unused = driver.Unused();
    }
    const bool destroyed = ztBuild_DestroyCount() != destroyedBefore;
    checks.Equal(result, test.result, "RunExport result");
    checks.Equal(ztBuild_NullHandleCalls() - nullCallsBefore, 0, "model calls with a null handle");
    checks.Equal(ztBuild_DestroyCount() - destroyedBefore, test.resultDialogShown ? 1 : 0,
                 "ztModel_Destroy calls");
    if (!destroyed && model != nullptr) {
        ztModel_Destroy(model);
    }
    for (const std::string& problem : problems) {
        checks.Expect(false, problem);
    }
    checks.Equal(unused, std::size_t{0}, "dialogs that were expected but never came");

    // The save dialog, exactly as the plug-in asked for it.
    checks.Equal(spy.SaveDialogs().size(), std::size_t{test.saveDialogShown ? 1u : 0u},
                 "GetSaveFileNameA calls");
    if (!spy.SaveDialogs().empty()) {
        const SaveDialogCall& call = spy.SaveDialogs().front();
        CheckSaveDialogCall(call, checks);
        if (test.pathLength > 255) {
            checks.Expect(!call.returned && call.extendedError == FNERR_BUFFERTOOSMALL,
                          "the dialog fails for want of room: error " + Hex(call.extendedError));
        }
    }
    // The plug-in's own message boxes, in order.
    const std::vector<MessageBoxCall>& boxes = spy.MessageBoxes();
    checks.Equal(boxes.size(), test.boxes.size(), "MessageBoxA calls");
    for (std::size_t i = 0; i < boxes.size() && i < test.boxes.size(); ++i) {
        const std::string which = "message box " + std::to_string(i + 1);
        checks.Expect(boxes[i].owner == nullptr, which + " has no owner");
        checks.Equal(boxes[i].caption, std::string(test.boxes[i].caption), which + " caption");
        checks.Equal(Hex(boxes[i].type), Hex(test.boxes[i].type), which + " type");
        if (test.boxes[i].text != nullptr) {
            checks.Equal(boxes[i].text, std::string(test.boxes[i].text), which + " text");
        } else {
            checks.Expect(!boxes[i].text.empty(), which + " says why");
        }
    }
    const DialogSnapshot* resultDialog = nullptr;
    for (const DialogSnapshot& dialog : seen) {
        if (dialog.kind == DialogKind::Result) {
            resultDialog = &dialog;
        }
    }
    checks.Equal(resultDialog != nullptr, test.resultDialogShown, "result dialog shown");
    if (resultDialog != nullptr && test.fileWritten) {
        CheckResultDialog(*resultDialog, output, checks);
        checks.Expect(fileCompleteAtShow, "the file was complete when the dialog showed");
        checks.Expect(streamGoneAtShow, "the temporary stream was gone when the dialog showed");
    }
    if (resultDialog != nullptr && !test.fileWritten) {
        checks.Expect(resultDialog->treeCount > 0, "the tree shows although it was not written");
    }

    checks.Expect(!fs::is_regular_file(TempStream), "no temporary stream is left behind");
    if (!output.empty()) {
        checks.Equal(fs::is_regular_file(output), test.fileWritten, "output file exists");
    }
    if (test.fileWritten) {
        checks.Equal(
            spy.SaveDialogs().empty() ? std::string() : spy.SaveDialogs().front().chosenPath,
            output, "the path the dialog returned");
    }
    if (test.fileWritten) {
        checks.Expect(FileTree(output).has_value(), "the output is a readable tree file");
    }
    if (!test.fileWritten) {
        bool nothingNew = true;
        for (const std::string& name : scratch.Contents()) {
            nothingNew =
                nothingNew && std::find(before.begin(), before.end(), name) != before.end();
        }
        checks.Expect(nothingNew, "nothing was added to the working folder");
    }
}

std::vector<ExportCase> ExportCases() {
    const DialogAnswer pressContinue = Answer(DialogKind::Result, DialogAction::PressContinue);
    const DialogAnswer pressOk = Answer(DialogKind::MessageBox, DialogAction::Ok);
    std::vector<ExportCase> cases;
    cases.push_back({.name = "null model", .model = ModelChoice::Null, .result = -1});
    cases.push_back({.name = "empty model",
                     .model = ModelChoice::Empty,
                     .afterSave = {pressOk},
                     .boxes = {{EmptyCaption, EmptyText, Warning}}});
    cases.push_back({.name = "save dialog cancelled (a model of hardpoints only is not empty)",
                     .model = ModelChoice::OnlyHardpoints,
                     .saveDialogShown = true});
    cases.push_back({.name = "temporary stream cannot be created",
                     .prepare = [](const ScratchFolder&) { fs::create_directory(TempStream); },
                     .typedName = "blocked.cmp",
                     .afterSave = {pressOk},
                     .result = -1,
                     .saveDialogShown = true,
                     .boxes = {{StreamCaption, StreamText, Error}}});
    const std::pair<const char*, DialogAction> closings[] = {
        {"Continue", DialogAction::PressContinue},
        {"Escape", DialogAction::PressEscape},
        {"Enter", DialogAction::PressEnter},
        {"IDOK", DialogAction::CommandOk},
        {"the close box", DialogAction::CloseBox}};
    for (const auto& [how, action] : closings) {
        cases.push_back({.name = std::string("completed, closed with ") + how,
                         .model = ModelChoice::Hardpoints,
                         .typedName = "ship.cmp",
                         .afterSave = {Answer(DialogKind::Result, action)},
                         .saveDialogShown = true,
                         .resultDialogShown = true,
                         .fileWritten = true});
    }
    cases.push_back({.name = "default extension added",
                     .typedName = "cube",
                     .writtenName = "cube.cmp",
                     .afterSave = {pressContinue},
                     .saveDialogShown = true,
                     .resultDialogShown = true,
                     .fileWritten = true});
    cases.push_back(
        {.name = "existing file: the overwrite prompt, then replaced",
         .prepare =
             [](const ScratchFolder& scratch) {
                 std::ofstream(scratch.File("old.cmp")) << "not a tree file";
             },
         .typedName = "old.cmp",
         .afterSave = {Answer(DialogKind::MessageBox, DialogAction::Yes), pressContinue},
         .saveDialogShown = true,
         .resultDialogShown = true,
         .fileWritten = true});
    cases.push_back({.name = "model over the format's limits is refused",
                     .model = ModelChoice::OverLimit,
                     .typedName = "huge.cmp",
                     .afterSave = {pressOk},
                     .result = -1,
                     .saveDialogShown = true,
                     .boxes = {{StreamCaption, nullptr, Error}}});
    // The longest path the dialog can return reaches the file whole; one more character
    // and the dialog fails, which ends the run like a cancel.
    cases.push_back({.name = "path of 255 characters",
                     .pathLength = 255,
                     .afterSave = {pressContinue},
                     .saveDialogShown = true,
                     .resultDialogShown = true,
                     .fileWritten = true});
    cases.push_back({.name = "path of 256 characters", .pathLength = 256, .saveDialogShown = true});
    // The folder vanishes after it was chosen (a drive removed, say): the tree cannot be
    // written; the dialog still shows it, then the user is told.
    cases.push_back(
        {.name = "tree file cannot be written",
         .prepare =
             [](const ScratchFolder& scratch) { fs::create_directory(scratch.Path() / "gone"); },
         .typedName = "gone\\out.cmp",
         .afterSaveClosed =
             [](const ScratchFolder& scratch) { fs::remove(scratch.Path() / "gone"); },
         .afterSave = {pressContinue, pressOk},
         .result = -1,
         .saveDialogShown = true,
         .resultDialogShown = true,
         .boxes = {{TreeCaption, nullptr, Error}}});
    return cases;
}

}  // namespace

void RunChecks(PlugInLibrary& library, Checks& checks, const std::string& filter) {
    struct Named {
        const char* name;
        void (*run)(PlugInLibrary&, Checks&);
    };
    const Named fixed[] = {{"exports", CheckExports},
                           {"resource", CheckDialogTemplate},
                           {"slots", CheckSlots},
                           {"probe", CheckCallingConvention},
                           {"destroy", CheckDestroyFlags}};
    for (const Named& check : fixed) {
        if (filter.empty() || std::string(check.name).find(filter) != std::string::npos) {
            check.run(library, checks);
        }
    }
    for (const ExportCase& test : ExportCases()) {
        if (filter.empty() || test.name.find(filter) != std::string::npos) {
            RunExportCase(library, test, checks);
        }
    }
}

bool ListPlugIn(PlugInLibrary& library) {
    PlugInObject plugIn(library);
    if (plugIn.Get() == nullptr) {
        return false;
    }
    std::printf("kind %d: %s\n", static_cast<int>(host_abi::QueryKind(plugIn.Get())),
                host_abi::QueryTitle(plugIn.Get()));
    return true;
}

bool WriteComparisonFiles(PlugInLibrary& library, const std::string& directory) {
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

bool HoldDialogs(PlugInLibrary& library, const std::string& directory) {
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
