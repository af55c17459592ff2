// Fuzz target for the whole plug-in pipeline behind the model functions. The input
// becomes a host model through the builder: any number of materials and meshes, names
// of any bytes and every hardpoint shape, numbers that are not numbers, corners
// anywhere, and reported counts that lie (negative, huge). Extraction and the format
// check must cope with anything; a model the check accepts must become a tree file that
// reads back as the same tree and that the inspector finds sound. Then the whole export
// run takes the same model, in a folder of its own, and must end as the pipeline
// predicts: a refusal with one error box and nothing on disk, or exactly that file.
#include <unistd.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mesh/mesh.h"
#include "plugin/plugin.h"
#include "standin/ztModelBuilder.h"
#include "tests/support/file_contents.h"
#include "tests/support/scratch_folder.h"
#include "tests/tools/rendered.h"
#include "tests/tree/reference_nearest_face.h"
#include "tests/utf/test_trees.h"
#include "tools/cmpinfo/read/read.h"
#include "tools/cmpinfo/report/report.h"
#include "tree/tree.h"
#include "utf/utf.h"

namespace cmp {
namespace {

// Reads the input front to back; past its end every value is 0.
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t U16() { return static_cast<std::uint16_t>(U8() | (U8() << 8)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(U16()) | (std::uint32_t{U16()} << 16); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }

    // Up to `most` bytes of any value; a 0 byte ends the name as it ends a C string.
    std::string Bytes(std::size_t most) {
        const std::size_t length = U8() % (most + 1);
        std::string text;
        for (std::size_t i = 0; i < length && at_ < size_; ++i) {
            text += static_cast<char>(data_[at_++]);
        }
        return text;
    }

    float Float() {
        switch (U8() % 4) {
            case 0:
                return static_cast<float>(static_cast<std::int8_t>(U8()));
            case 1:
                return std::bit_cast<float>(U32());
            case 2: {
                const float special[] = {std::numeric_limits<float>::quiet_NaN(),
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity(),
                                         -0.0f,
                                         std::numeric_limits<float>::denorm_min(),
                                         std::numeric_limits<float>::max(),
                                         -std::numeric_limits<float>::max(),
                                         std::numeric_limits<float>::min()};
                return special[U8() % 8];
            }
            default:
                return static_cast<float>(U16()) / 256.0f - 128.0f;
        }
    }

    // A count a host might report for `stored` elements: negative, the most there is, or
    // near the truth. A huge count makes extraction read a million elements, so it comes
    // from one byte value only, and once per input: the fuzzer's time goes elsewhere.
    std::int32_t ReportedCount(std::int32_t stored) {
        const std::uint8_t choice = U8();
        if (choice >= 0xFE && std::exchange(hugeLeft_, false)) {
            return choice == 0xFF ? std::numeric_limits<std::int32_t>::max()
                                  : static_cast<std::int32_t>(U32() & 0x3FFFF);
        }
        switch (choice % 4) {
            case 0:
                return -1 - static_cast<std::int32_t>(U32() & 0x7FFFFFFF);
            case 1:
                return std::numeric_limits<std::int32_t>::min();
            case 2:
                return stored + static_cast<std::int8_t>(U8());
            default:
                return stored > 0 ? stored - 1 : stored + 1;
        }
    }

    // Whether another mesh may be large enough to press on the 16-bit limits (two may).
    bool LargeMeshAllowed() { return largeLeft_ > 0 && largeLeft_-- > 0; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool hugeLeft_ = true;
    int largeLeft_ = 2;
};

std::string MeshName(Input& in) {
    static const char* const prefixes[] = {
        "",   "Hp_Fixed_", "Hp_Revolute_",       "hp_fixed_HpEngine", "HP_REVOLUTE_HpMount",
        "Hp", "hP",        "Hp_Fixed",           "Hp_Revolute",       "HpXFixedX",
        "h",  "Hp_Fix",    "Hp-Fixed-HpThruster"};
    const std::size_t choice = in.U8() % (sizeof prefixes / sizeof prefixes[0]);
    return prefixes[choice] + in.Bytes(choice == 0 ? 255 : 200);
}

std::int32_t MaterialIndex(Input& in) {
    switch (in.U8() % 3) {
        case 0:
            return -1;
        case 1:
            return in.U8() % 6;
        default:
            return in.I32();
    }
}

void AddMesh(Input& in, ztModel model) {
    const std::string name = MeshName(in);
    ztMesh mesh = ztBuild_AddMesh(model, name.c_str(), MaterialIndex(in));
    const std::uint8_t shape = in.U8();
    // Now and then a mesh large enough to press on the format's 16-bit limits.
    const int vertices = (shape & 0x80) && in.LargeMeshAllowed() ? in.U16() : in.U8() % 48;
    for (int v = 0; v < vertices; ++v) {
        const float x = in.Float(), y = in.Float(), z = in.Float(), u = in.Float(), w = in.Float();
        ztBuild_AddVertex(mesh, x, y, z, u, w);
    }
    const int triangles = (shape & 0x40) && in.LargeMeshAllowed() ? in.U16() % 24000 : in.U8() % 48;
    for (int t = 0; t < triangles; ++t) {
        std::uint16_t corners[3];
        for (std::uint16_t& corner : corners) {
            // Mostly inside the mesh, sometimes anywhere at all.
            corner = (in.U8() % 8 == 0) ? in.U16()
                                        : static_cast<std::uint16_t>(in.U16() % (vertices + 1));
        }
        ztBuild_AddTriangle(mesh, corners[0], corners[1], corners[2]);
    }
    if (shape & 0x01) {
        ztBuild_OverrideVertexCount(mesh, in.ReportedCount(vertices));
    }
    if (shape & 0x02) {
        ztBuild_OverrideTriangleCount(mesh, in.ReportedCount(triangles));
    }
}

struct Visited {
    int depth;
    std::string name;
    Bytes bytes;
    friend bool operator==(const Visited&, const Visited&) = default;
};

std::vector<Visited> Walk(const NodeTree& tree) {
    std::vector<Visited> order;
    ForEachInPreOrder(tree, [&](NodeHandle node, int depth) {
        const Payload* payload = tree.GetPayload(node);
        order.push_back({depth, tree.GetName(node),
                         payload ? Bytes(payload->bytes.begin(), payload->bytes.end()) : Bytes()});
    });
    return order;
}

[[noreturn]] void Fail(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "model pipeline: %s\n%s\n", what, detail.c_str());
    std::abort();
}

// The tree as a file, through the writer that the plug-in uses, and back.
Bytes WrittenFile(const NodeTree& tree) {
    static const ScratchFolder folder(ScratchFolder::Enter::No, "fuzz");
    static const std::string path = folder / "tree.cmp";
    if (const Status written = WriteUtfFile(tree, path.c_str()); !written) {
        Fail("the tree file could not be written", written.message());
    }
    Bytes bytes = ReadWholeFileBytes(path);
    std::remove(path.c_str());
    return bytes;
}

// What the export run must do with a model.
struct Expected {
    bool empty = false;    // a warning, result 0, no file
    bool refused = false;  // an error box, result -1, no file
    Bytes file;            // otherwise: result 0 and exactly these bytes
};

Expected CheckPipeline(ztModel model) {
    MeshList meshes;
    ExtractMeshes(model, meshes);
    const Status limits = CheckFormatLimits(meshes);
    if (meshes.empty()) {
        return {true, false, {}};
    }
    if (!limits) {
        if (limits.message().empty()) {
            Fail("a refusal without a reason");
        }
        return {false, true, {}};
    }
    std::size_t expected = StreamHeaderSize;
    for (const ExportMesh& mesh : meshes) {
        if (!mesh.isHardpoint) {
            expected += StreamMeshHeaderSize + StreamIndexSize * mesh.triangles.size() +
                        StreamVertexSize * mesh.vertices.size();
        }
    }
    Bytes stream = BuildMeshDataStream(meshes);
    if (stream.size() != expected) {
        Fail("the mesh data stream has the wrong length");
    }

    // The index finds the very face the plain scan finds, for every hardpoint and for
    // every vertex of the model taken as a hardpoint's position.
    const std::vector<CandidateFace> faces = CandidateFaces(meshes);
    const NearestFaceIndex index(faces);
    const NearestFaceIndex indexForFew(faces, 1);
    for (const ExportMesh& mesh : meshes) {
        std::vector<Vector3> positions = {HardpointPosition(mesh)};
        for (const ExportVertex& vertex : mesh.vertices) {
            positions.push_back({vertex.position[0], vertex.position[1], vertex.position[2]});
        }
        for (const Vector3& position : positions) {
            const CandidateFace* nearest = ScanForNearestFace(faces, position);
            if (index.FindNearest(position) != nearest ||
                indexForFew.FindNearest(position, nearest) != nearest ||
                indexForFew.FindNearest(position) != nearest) {
                Fail("the nearest-face index disagrees with the scan");
            }
        }
    }

    NodeTree tree;
    BuildCompoundLayout(tree, meshes, std::move(stream));
    const UtfLayout layout(tree);
    if (!layout.FitsFormat()) {
        Fail("a small tree does not fit the format");
    }
    const Bytes file = layout.GetFileBytes();
    if (WrittenFile(tree) != file) {
        Fail("the written file differs from the planned one");
    }

    NodeTree again;
    const Status error = ReadUtfFile(file, again);
    if (!error) {
        Fail("the written file does not read back", error.message());
    }
    if (Walk(again) != Walk(tree)) {
        Fail("the file reads back as another tree");
    }
    const FileReport report = InspectTree(again, "fuzz.cmp", file.size());
    if (report.CountProblems() != 0) {
        Fail("the inspector finds problems in a file the plug-in wrote",
             Rendered(RenderProblems, report));
    }
    if (Rendered(RenderText, report).empty() || Rendered(RenderJson, report).empty()) {
        Fail("the inspector printed nothing");
    }
    return {false, false, file};
}

// Answers the save dialog with a file in the current folder and keeps what was shown.
class FuzzInterface : public UserInterface {
  public:
    void ShowMessage(const std::string& text, const std::string&, std::uint32_t type) override {
        messages.push_back({text, type});
    }
    std::optional<std::string> AskSavePath(const SaveDialogOptions&) override { return "out.cmp"; }
    void RunResultDialog(const std::string&,
                         const std::function<const NodeTree*()>& initialise) override {
        dialogs += 1;
        initialise();
    }

    std::vector<std::pair<std::string, std::uint32_t>> messages;
    int dialogs = 0;
};

void CheckExportRun(ztModel model, const Expected& expected) {
    // The run in a folder of its own (the mesh data file lies in the working folder),
    // which it must leave holding the tree file or nothing; the fuzzer's own relative
    // paths (corpus, artifacts) find the working folder back afterwards.
    const ScratchFolder folder(ScratchFolder::Enter::Yes, "fuzz");
    FuzzInterface ui;
    const std::int32_t destroyed = ztBuild_DestroyCount();
    const std::int32_t result = RunExport(model, ui);
    const bool modelDestroyed = ztBuild_DestroyCount() != destroyed;
    if (!modelDestroyed) {
        ztModel_Destroy(model);
    }
    const Bytes written = ReadWholeFileBytes("out.cmp");
    const bool streamLeft = access(TempStreamFileName, F_OK) == 0;
    if (streamLeft) {
        Fail("the mesh data file outlived the run");
    }
    if (expected.empty) {
        if (result != 0 || ui.messages.size() != 1 || ui.messages[0].second != MessageBoxWarning ||
            ui.dialogs != 0 || !written.empty()) {
            Fail("an empty model did not end with one warning");
        }
    } else if (expected.refused) {
        if (result != -1 || ui.messages.size() != 1 || ui.messages[0].second != MessageBoxError ||
            ui.dialogs != 0 || !written.empty() || modelDestroyed) {
            Fail("a refused model did not end with one error box and nothing written");
        }
    } else if (result != 0 || !ui.messages.empty() || ui.dialogs != 1 || !modelDestroyed ||
               written != expected.file) {
        Fail("the export run did not write the file the pipeline made",
             ui.messages.empty() ? std::string() : ui.messages[0].first);
    }
}

}  // namespace
}  // namespace cmp

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace cmp;
    Input in(data, size);
    ztModel model = ztBuild_CreateModel();
    const int materials = in.U8() % 5;
    for (int m = 0; m < materials; ++m) {
        ztBuild_AddMaterial(model, in.Bytes(255).c_str());
    }
    const int meshes = in.U8() % 9;
    for (int m = 0; m < meshes; ++m) {
        AddMesh(in, model);
    }
    if (in.U8() % 8 == 0) {
        ztBuild_OverrideMeshCount(model, in.ReportedCount(meshes));
    }
    CheckExportRun(model, CheckPipeline(model));
    return 0;
}
