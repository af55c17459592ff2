// The DLL's boundary as a host meets it: its export, its dialog template, the four
// slots, the calling convention and the destroying destructor.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#include <malloc.h>

#include <cctype>
#include <cstdlib>
#include <vector>

#include "tests/windows/host/dll_image.h"
#include "tests/windows/host/host_slots.h"
#include "tests/windows/host/host_support.h"
#include "tests/windows/host/import_spy.h"
#include "tests/windows/host/thiscall_probe.h"
#include "tests/windows/plugin_test.h"

namespace cmp {

namespace {

constexpr const char* Title = "Quorvane CMP...";
constexpr const char* ResultCaption = "Quorvane CMP Exporter";

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

BOOL CALLBACK CollectResourceName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    auto& names = *reinterpret_cast<std::vector<std::string>*>(found);
    names.push_back(IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name))
                                         : std::string(name));
    return TRUE;
}

}  // namespace

using PlugInBoundary = PlugInTest;

// Only CreatePlugIn, ordinal 1, by name and by ordinal alike.
TEST_F(PlugInBoundary, Exports) {
    const HMODULE module = ModuleOf(Library());
    const std::vector<ExportEntry> exports = Exports(module);
    EXPECT_EQ(exports.size(), std::size_t{1}) << "number of exported entries";
    if (!exports.empty()) {
        EXPECT_EQ(exports[0].ordinal, 1u) << "ordinal of the export";
        EXPECT_EQ(exports[0].name, std::string("CreatePlugIn")) << "name of the export";
    }
    void* byName = ExportByName(module, "CreatePlugIn");
    void* byOrdinal = ExportByOrdinal(module, 1);
    EXPECT_NE(byName, nullptr) << "CreatePlugIn is found by name";
    EXPECT_EQ(byName, byOrdinal) << "ordinal 1 is the same function as CreatePlugIn";
    EXPECT_EQ(ExportByOrdinal(module, 2), nullptr) << "ordinal 2 does not exist";
}

// Dialog template 2000 is in the DLL, as designed.
TEST_F(PlugInBoundary, DialogTemplate) {
    HMODULE module = ModuleOf(Library());
    std::vector<std::string> dialogs;
    EnumResourceNamesA(module, RT_DIALOG, CollectResourceName,
                       reinterpret_cast<LONG_PTR>(&dialogs));
    EXPECT_EQ(dialogs.size(), std::size_t{1}) << "number of dialog templates";
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(2000), RT_DIALOG);
    ASSERT_NE(resource, nullptr) << "template 2000 exists";
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    TemplateReader reader(data, SizeofResource(module, resource));
    EXPECT_EQ(Hex(reader.Dword()), Hex(0x80C800C0)) << "dialog style";
    EXPECT_EQ(Hex(reader.Dword()), Hex(0)) << "dialog extended style";
    const std::uint16_t count = reader.Word();
    EXPECT_EQ(count, 2) << "number of controls";
    const std::int16_t x = static_cast<std::int16_t>(reader.Word());
    const std::int16_t y = static_cast<std::int16_t>(reader.Word());
    const std::int16_t cx = static_cast<std::int16_t>(reader.Word());
    const std::int16_t cy = static_cast<std::int16_t>(reader.Word());
    EXPECT_TRUE(x == 0 && y == 0 && cx == 220 && cy == 164) << "position 0, 0 and size 220 x 164";
    EXPECT_EQ(reader.NameOrOrdinal(), std::string()) << "menu";
    EXPECT_EQ(reader.NameOrOrdinal(), std::string()) << "window class";
    EXPECT_EQ(reader.NameOrOrdinal(), std::string(ResultCaption)) << "caption";
    EXPECT_EQ(reader.Word(), 8) << "font size in points";
    EXPECT_EQ(reader.NameOrOrdinal(), std::string("MS Sans Serif")) << "font";
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
        EXPECT_EQ(extra, 0) << "creation data of control " + std::to_string(i);
        items.push_back(item);
    }
    EXPECT_TRUE(reader.Ok()) << "the template is complete";
    ASSERT_EQ(items.size(), 2u) << "controls read";
    const TemplateItem& button = items[0];
    EXPECT_EQ(button.id, IDCANCEL) << "first control's id";
    EXPECT_EQ(button.className, std::string("#128")) << "first control is a button";
    EXPECT_EQ(button.text, std::string("Continue")) << "button text";
    EXPECT_EQ(Hex(button.style), Hex(0x50010000)) << "button style";
    EXPECT_EQ(Hex(button.exStyle), Hex(0)) << "button extended style";
    EXPECT_TRUE(button.x == 84 && button.y == 143 && button.cx == 50 && button.cy == 14)
        << "button at 84, 143, 50 x 14";
    const TemplateItem& tree = items[1];
    EXPECT_EQ(tree.id, 2010) << "second control's id";
    EXPECT_EQ(Upper(tree.className), Upper(WC_TREEVIEWA)) << "second control is a tree view";
    EXPECT_EQ(tree.text, std::string("Tree1")) << "tree view text";
    EXPECT_EQ(Hex(tree.style), Hex(0x50810007)) << "tree view style";
    EXPECT_EQ(Hex(tree.exStyle), Hex(0)) << "tree view extended style";
    EXPECT_TRUE(tree.x == 7 && tree.y == 7 && tree.cx == 206 && tree.cy == 131)
        << "tree view at 7, 7, 206 x 131";
}

// Kind, title and calls through thiscall pointers.
TEST_F(PlugInBoundary, Slots) {
    PlugInObject first(Library());
    PlugInObject second(Library());
    ASSERT_TRUE(first.Get() != nullptr && second.Get() != nullptr) << "CreatePlugIn gives objects";
    EXPECT_NE(first.Get(), second.Get()) << "every call creates a new object";
    EXPECT_EQ(host_abi::QueryKind(first.Get()), 2) << "QueryKind";
    const char* title = host_abi::QueryTitle(first.Get());
    EXPECT_EQ(std::string(title), std::string(Title)) << "QueryTitle";
    EXPECT_EQ(host_abi::QueryTitle(first.Get()), title) << "the same title address every call";
    EXPECT_NE(host_abi::QueryTitle(second.Get()), title) << "each object has its own title";
    EXPECT_EQ(host_abi::RunExport(first.Get(), nullptr), -1) << "RunExport of a null model";
    EXPECT_EQ(host_abi::QueryTitle(first.Get()), title) << "title unchanged after a run";
}

// This in ECX, the callee pops its arguments.
TEST_F(PlugInBoundary, ThiscallProbe) {
    PlugInObject self(Library());
    PlugInObject decoy(Library());
    ASSERT_TRUE(self.Get() != nullptr && decoy.Get() != nullptr) << "CreatePlugIn gives objects";
    void* const* table = host_abi::SlotTable(self.Get());
    const auto decoyWord =
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(decoy.Get()));
    const std::uint32_t nullModel[] = {0};
    for (std::uint32_t misalign : {0u, 4u, 8u, 12u}) {
        SCOPED_TRACE("stack off by " + std::to_string(misalign));
        ProbeOutcome kind = ProbeThiscall(table[1], self.Get(), nullptr, 0, decoyWord, misalign);
        EXPECT_EQ(kind.result, 2u) << "slot 1 result";
        EXPECT_EQ(kind.stackDelta, 0) << "slot 1 leaves the stack";
        EXPECT_TRUE(kind.registersKept) << "slot 1 keeps EBX, ESI, EDI, EBP";

        ProbeOutcome title = ProbeThiscall(table[2], self.Get(), nullptr, 0, decoyWord, misalign);
        EXPECT_EQ(title.result, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(
                                    host_abi::QueryTitle(self.Get()))))
            << "slot 2 answers for the object in ECX, not the one on the stack";
        EXPECT_EQ(title.stackDelta, 0) << "slot 2 leaves the stack";
        EXPECT_TRUE(title.registersKept) << "slot 2 keeps EBX, ESI, EDI, EBP";

        ProbeOutcome run = ProbeThiscall(table[3], self.Get(), nullModel, 1, decoyWord, misalign);
        EXPECT_EQ(static_cast<std::int32_t>(run.result), -1) << "slot 3 with a null model";
        EXPECT_EQ(run.stackDelta, 0) << "slot 3 pops its one argument";
        EXPECT_TRUE(run.registersKept) << "slot 3 keeps EBX, ESI, EDI, EBP";
    }
    // Slot 0 last: it ends the object. Freed here through the probe, so not again.
    void* doomed = Library().Create();
    ASSERT_NE(doomed, nullptr) << "CreatePlugIn gives an object";
    const std::uint32_t freeIt[] = {1};
    ProbeOutcome destroyed =
        ProbeThiscall(host_abi::SlotTable(doomed)[0], doomed, freeIt, 1, decoyWord, 4);
    EXPECT_EQ(destroyed.result, reinterpret_cast<std::uintptr_t>(doomed))
        << "slot 0 returns the object's address";
    EXPECT_EQ(destroyed.stackDelta, 0) << "slot 0 pops its flags";
    EXPECT_TRUE(destroyed.registersKept) << "slot 0 keeps EBX, ESI, EDI, EBP";
}

// Slot 0: bit 0 of the flags decides whether the memory is freed.
TEST_F(PlugInBoundary, DestroyFlags) {
    ImportSpy spy(ModuleOf(Library()));
    ASSERT_TRUE(spy.Installed()) << "the host can watch the plug-in's free()";
    void* kept = Library().Create();
    ASSERT_NE(kept, nullptr) << "CreatePlugIn gives an object";
    spy.WatchFree(kept);
    EXPECT_EQ(host_abi::Destroy(kept, 0), kept) << "flags 0: returns the object's address";
    EXPECT_FALSE(spy.WatchedBlockFreed()) << "flags 0: the memory is not freed";
    // Still a live block of the C runtime that host and plug-in share: the host frees it.
    EXPECT_GE(_msize(kept), 4u + 64u) << "flags 0: the block is still allocated, whole";
    free(kept);

    void* freed = Library().Create();
    ASSERT_NE(freed, nullptr) << "CreatePlugIn gives an object";
    spy.WatchFree(freed);
    EXPECT_EQ(host_abi::Destroy(freed, 1), freed) << "flags 1: returns the object's address";
    EXPECT_TRUE(spy.WatchedBlockFreed()) << "flags 1: the memory is freed";
    spy.WatchFree(nullptr);
}

}  // namespace cmp
