#include "tools/cmpinfo/gltf_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "core/terminal_text.h"
#include "mesh/export_mesh.h"

namespace cmp {

namespace {

// The glTF enumerations this document uses.
constexpr int ArrayBuffer = 34962;
constexpr int ElementArrayBuffer = 34963;
constexpr int ModeTriangles = 4;
constexpr int ModePoints = 0;

Error Refused(std::string message) {
    return Error{ErrorCode::ModelRefused, std::move(message), std::nullopt};
}

template <std::size_t N>
bool AllFinite(const std::array<float, N>& values) {
    for (const float value : values) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    return true;
}

std::optional<Error> FindNonFinite(const StoredMesh& mesh) {
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
        const StoredVertex& vertex = mesh.vertices[v];
        const char* field = !AllFinite(vertex.position) ? "position"
                            : !AllFinite(vertex.normal) ? "normal"
                            : !AllFinite(vertex.uv)     ? "texture coordinate"
                                                        : nullptr;
        if (field) {
            return Refused("mesh \"" + GetGltfMeshName(mesh) + "\" vertex " + std::to_string(v) +
                           ": its " + field +
                           " is not a finite number, which a glTF file cannot hold");
        }
    }
    return std::nullopt;
}

std::optional<Error> FindNonFinite(const StoredHardpoint& hardpoint) {
    const std::array<float, 2> limits{hardpoint.min, hardpoint.max};
    if (AllFinite(hardpoint.orientation) && AllFinite(hardpoint.position) &&
        AllFinite(hardpoint.axis) && AllFinite(limits)) {
        return std::nullopt;
    }
    return Refused("hardpoint \"" + TerminalText(hardpoint.name) +
                   "\": a stored value is not a finite number, which a glTF file cannot hold");
}

// A neutral, light colour that tells materials apart: each of red, green and blue from one
// byte of the identifier, kept between 0.35 and 0.85.
std::vector<double> BaseColourOf(std::uint32_t material) {
    std::vector<double> colour;
    for (int shift : {0, 8, 16}) {
        colour.push_back(0.35 + 0.5 * static_cast<double>((material >> shift) & 0xFFu) / 255.0);
    }
    colour.push_back(1.0);
    return colour;
}

class DocumentBuilder {
  public:
    explicit DocumentBuilder(tinygltf::Model& document) : document_(document) {
        document_.buffers.emplace_back();
    }

    int AddMaterial(std::uint32_t identifier) {
        const auto [found, added] =
            materials_.emplace(identifier, static_cast<int>(document_.materials.size()));
        if (added) {
            tinygltf::Material& material = document_.materials.emplace_back();
            material.name = GetGltfMaterialName(identifier);
            material.pbrMetallicRoughness.baseColorFactor = BaseColourOf(identifier);
            material.pbrMetallicRoughness.metallicFactor = 0.0;
            material.pbrMetallicRoughness.roughnessFactor = 0.8;
        }
        return found->second;
    }

    // An accessor of `count` elements over a new view of the bytes `data` points at.
    int AddAccessor(const void* data, std::size_t count, std::size_t elementSize, int componentType,
                    int type, int target) {
        std::vector<unsigned char>& bytes = document_.buffers[0].data;
        tinygltf::BufferView& view = document_.bufferViews.emplace_back();
        view.buffer = 0;
        view.byteOffset = bytes.size();
        view.byteLength = count * elementSize;
        view.target = target;
        const auto* first = static_cast<const unsigned char*>(data);
        bytes.insert(bytes.end(), first, first + view.byteLength);
        // Every view starts on a four-byte boundary, as float components must.
        bytes.resize((bytes.size() + 3) / 4 * 4, 0);

        tinygltf::Accessor& accessor = document_.accessors.emplace_back();
        accessor.bufferView = static_cast<int>(document_.bufferViews.size() - 1);
        accessor.componentType = componentType;
        accessor.type = type;
        accessor.count = count;
        return static_cast<int>(document_.accessors.size() - 1);
    }

    // The mesh's glTF mesh, or -1 for a mesh without vertices, which glTF cannot hold.
    int AddMesh(const StoredMesh& stored) {
        const std::size_t count = stored.vertices.size();
        if (count == 0) {
            return -1;
        }
        std::vector<float> positions, normals, uvs;
        positions.reserve(3 * count);
        normals.reserve(3 * count);
        uvs.reserve(2 * count);
        std::array<float, 3> min = stored.vertices[0].position;
        std::array<float, 3> max = min;
        for (const StoredVertex& vertex : stored.vertices) {
            positions.insert(positions.end(), vertex.position.begin(), vertex.position.end());
            normals.insert(normals.end(), vertex.normal.begin(), vertex.normal.end());
            uvs.insert(uvs.end(), vertex.uv.begin(), vertex.uv.end());
            for (std::size_t i = 0; i < 3; ++i) {
                min[i] = std::min(min[i], vertex.position[i]);
                max[i] = std::max(max[i], vertex.position[i]);
            }
        }

        tinygltf::Primitive primitive;
        const int position = AddAccessor(positions.data(), count, 12, TINYGLTF_COMPONENT_TYPE_FLOAT,
                                         TINYGLTF_TYPE_VEC3, ArrayBuffer);
        document_.accessors[position].minValues.assign(min.begin(), min.end());
        document_.accessors[position].maxValues.assign(max.begin(), max.end());
        primitive.attributes["POSITION"] = position;
        primitive.attributes["NORMAL"] =
            AddAccessor(normals.data(), count, 12, TINYGLTF_COMPONENT_TYPE_FLOAT,
                        TINYGLTF_TYPE_VEC3, ArrayBuffer);
        primitive.attributes["TEXCOORD_0"] = AddAccessor(
            uvs.data(), count, 8, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, ArrayBuffer);
        if (stored.indices.empty()) {
            primitive.mode = ModePoints;
        } else {
            primitive.mode = ModeTriangles;
            primitive.indices = AddAccessor(stored.indices.data(), stored.indices.size(), 2,
                                            TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                                            TINYGLTF_TYPE_SCALAR, ElementArrayBuffer);
        }
        primitive.material = AddMaterial(stored.material);

        tinygltf::Mesh& mesh = document_.meshes.emplace_back();
        mesh.name = GetGltfMeshName(stored);
        mesh.primitives.push_back(std::move(primitive));
        return static_cast<int>(document_.meshes.size() - 1);
    }

    int AddNode(tinygltf::Node node) {
        document_.nodes.push_back(std::move(node));
        return static_cast<int>(document_.nodes.size() - 1);
    }

  private:
    tinygltf::Model& document_;
    std::map<std::uint32_t, int> materials_;
};

tinygltf::Value Real(float value) {
    return tinygltf::Value(static_cast<double>(value));
}

tinygltf::Value HardpointExtras(const StoredHardpoint& hardpoint) {
    tinygltf::Value::Object extras;
    if (hardpoint.kind == HardpointKind::Fixed) {
        extras["kind"] = tinygltf::Value(std::string("Fixed"));
        return tinygltf::Value(std::move(extras));
    }
    extras["kind"] = tinygltf::Value(std::string("Revolute"));
    extras["axis"] = tinygltf::Value(tinygltf::Value::Array{
        Real(hardpoint.axis[0]), Real(hardpoint.axis[1]), Real(hardpoint.axis[2])});
    extras["min"] = Real(hardpoint.min);
    extras["max"] = Real(hardpoint.max);
    return tinygltf::Value(std::move(extras));
}

tinygltf::Node HardpointNode(const StoredHardpoint& hardpoint) {
    tinygltf::Node node;
    node.name = TerminalText(hardpoint.name);
    const std::array<double, 16> matrix = GetGltfHardpointMatrix(hardpoint);
    constexpr std::array<double, 16> Identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // The identity is glTF's default, which a file should leave out.
    if (matrix != Identity) {
        node.matrix.assign(matrix.begin(), matrix.end());
    }
    node.extras = HardpointExtras(hardpoint);
    return node;
}

}  // namespace

double GetGltfRootScale() {
    return 1.0 / static_cast<double>(ModelScale);
}

std::string GetGltfMeshName(const StoredMesh& mesh) {
    return TerminalText(mesh.entry) + " mesh " + std::to_string(mesh.indexInEntry);
}

std::string GetGltfMaterialName(std::uint32_t material) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(material));
    return text;
}

std::array<double, 16> GetGltfHardpointMatrix(const StoredHardpoint& hardpoint) {
    std::array<double, 16> matrix{};
    for (std::size_t column = 0; column < 3; ++column) {
        for (std::size_t row = 0; row < 3; ++row) {
            matrix[4 * column + row] = hardpoint.orientation[3 * column + row];
        }
        matrix[12 + column] = hardpoint.position[column];
    }
    matrix[15] = 1.0;
    return matrix;
}

Result<tinygltf::Model> MakeGltfModel(const StoredModel& model, const std::string& rootName) {
    for (const StoredMesh& mesh : model.meshes) {
        if (std::optional<Error> refusal = FindNonFinite(mesh)) {
            return *refusal;
        }
    }
    for (const StoredHardpoint& hardpoint : model.hardpoints) {
        if (std::optional<Error> refusal = FindNonFinite(hardpoint)) {
            return *refusal;
        }
    }

    tinygltf::Model document;
    document.asset.version = "2.0";
    document.asset.generator = "cmpinfo";
    DocumentBuilder builder(document);

    // The root is the first node, its children those after it.
    builder.AddNode(tinygltf::Node());
    tinygltf::Node root;
    root.name = TerminalText(rootName);
    root.rotation.assign(GltfRootRotation.begin(), GltfRootRotation.end());
    root.scale.assign(3, GetGltfRootScale());
    for (const StoredMesh& mesh : model.meshes) {
        if (const int index = builder.AddMesh(mesh); index >= 0) {
            tinygltf::Node node;
            node.name = document.meshes[static_cast<std::size_t>(index)].name;
            node.mesh = index;
            root.children.push_back(builder.AddNode(std::move(node)));
        }
    }
    for (const StoredHardpoint& hardpoint : model.hardpoints) {
        root.children.push_back(builder.AddNode(HardpointNode(hardpoint)));
    }
    if (document.buffers[0].data.empty()) {
        // A buffer must not be empty: a model of hardpoints alone has none.
        document.buffers.clear();
    }
    document.nodes[0] = std::move(root);
    document.scenes.emplace_back().nodes.push_back(0);
    document.defaultScene = 0;
    return document;
}

}  // namespace cmp
