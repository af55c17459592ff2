// What the host and its checks share: where the plug-in is, the plug-in object as a host
// holds it, the models they export and a reading of the files written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/little_endian.h"
#include "standin/ztModelBuilder.h"
#include "tests/support/plugin_library.h"
#include "tests/support/scratch_folder.h"
#include "tests/windows/host/dialog_driver.h"

namespace cmp {

// cmpexport.dll beside this program, as a host finds plug-ins in its own folder.
std::string DefaultPlugInPath();

// A plug-in object from CreatePlugIn, destroyed through slot 0 as a host does.
class PlugInObject {
  public:
    explicit PlugInObject(const cmp::PlugInLibrary& library);
    ~PlugInObject();
    PlugInObject(const PlugInObject&) = delete;
    PlugInObject& operator=(const PlugInObject&) = delete;
    void* Get() const { return object_; }

  private:
    void* object_ = nullptr;
};

enum class ModelChoice { Null, Empty, OnlyHardpoints, Cube, Hardpoints, OverLimit };

// A new model of the shared test models (null for ModelChoice::Null).
ztModel MakeModel(ModelChoice choice);

std::optional<Bytes> ReadWholeFile(const std::filesystem::path& path);

// The tree a file holds, depth-first as a tree view lists it; nothing when unreadable.
std::optional<std::vector<TreeItemSnapshot>> FileTree(const std::filesystem::path& path);

// "0x0000ABCD".
std::string Hex(std::uint32_t value);

// ASCII upper case, for names Windows compares without regard to case.
std::string Upper(std::string text);

}  // namespace cmp
