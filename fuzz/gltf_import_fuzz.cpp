// Fuzz target for the glTF importer of the Windows build, which reads model files in the
// host's own process: any bytes go in, as a .glb and as a .gltf (beside a .bin that the
// document may name). The import must refuse them with one line naming the file, or
// build a model, and never crash, hang, or read or allocate beyond what the bytes hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "modelhost/gltf_import.h"
#include "standin/ztModelBuilder.h"
#include "tests/support/scratch_folder.h"

namespace {

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void ImportAs(const std::string& path) {
    ztModel model = ztBuild_CreateModel();
    const cmp::Result<cmp::ImportSummary> imported = cmp::ImportGltfModel(path, model);
    if (!imported &&
        (imported.message().empty() || imported.message().find('\n') != std::string::npos)) {
        std::abort();
    }
    ztModel_Destroy(model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static cmp::ScratchFolder folder(cmp::ScratchFolder::Enter::No, "gltf-fuzz");
    // The bytes also serve as the buffer a .gltf names "b.bin".
    WriteFile(folder / "b.bin", data, size);
    WriteFile(folder / "m.glb", data, size);
    ImportAs(folder / "m.glb");
    WriteFile(folder / "m.gltf", data, size);
    ImportAs(folder / "m.gltf");
    return 0;
}
