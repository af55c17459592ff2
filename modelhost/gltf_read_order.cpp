// The order in which Assimp's reader comes upon a glTF file's materials and buffers: it
// reads objects as they are referred to, starting from the scene. The host's materials
// and the list of files read follow it.
#include <map>
#include <string>
#include <utility>

#include "modelhost/gltf_internal.h"

namespace cmp {

namespace {

class ReadOrderWalk {
  public:
    explicit ReadOrderWalk(const tinygltf::Model& model) : model_(model) {}

    // What Assimp's reader has come upon, each in the order it came: it reads objects as
    // they are referred to, starting from the scene.
    struct Retrieval {
        std::vector<bool> nodes, meshes, materials, buffers;
        std::vector<int> materialOrder, bufferOrder;
    };

    void RetrieveAccessor(int accessor, Retrieval& r) const {
        if (accessor < 0 || static_cast<std::size_t>(accessor) >= model_.accessors.size()) {
            return;
        }
        RetrieveView(model_.accessors[static_cast<std::size_t>(accessor)].bufferView, r);
    }

    void RetrieveView(int view, Retrieval& r) const {
        if (view < 0 || static_cast<std::size_t>(view) >= model_.bufferViews.size()) {
            return;
        }
        const int buffer = model_.bufferViews[static_cast<std::size_t>(view)].buffer;
        if (buffer >= 0 && static_cast<std::size_t>(buffer) < r.buffers.size() &&
            !r.buffers[static_cast<std::size_t>(buffer)]) {
            r.buffers[static_cast<std::size_t>(buffer)] = true;
            r.bufferOrder.push_back(buffer);
        }
    }

    // A material's textures reach buffers through images stored in buffer views.
    void RetrieveTexture(int texture, Retrieval& r) const {
        if (texture < 0 || static_cast<std::size_t>(texture) >= model_.textures.size()) {
            return;
        }
        const int image = model_.textures[static_cast<std::size_t>(texture)].source;
        if (image >= 0 && static_cast<std::size_t>(image) < model_.images.size()) {
            RetrieveView(model_.images[static_cast<std::size_t>(image)].bufferView, r);
        }
    }

    void RetrieveMaterial(int material, Retrieval& r) const {
        if (material < 0 || static_cast<std::size_t>(material) >= r.materials.size() ||
            r.materials[static_cast<std::size_t>(material)]) {
            return;
        }
        r.materials[static_cast<std::size_t>(material)] = true;
        r.materialOrder.push_back(material);
        const tinygltf::Material& m = model_.materials[static_cast<std::size_t>(material)];
        RetrieveTexture(m.pbrMetallicRoughness.baseColorTexture.index, r);
        RetrieveTexture(m.pbrMetallicRoughness.metallicRoughnessTexture.index, r);
        RetrieveTexture(m.normalTexture.index, r);
        RetrieveTexture(m.occlusionTexture.index, r);
        RetrieveTexture(m.emissiveTexture.index, r);
    }

    void RetrieveMesh(int mesh, Retrieval& r) const {
        if (mesh < 0 || r.meshes[static_cast<std::size_t>(mesh)]) {
            return;
        }
        r.meshes[static_cast<std::size_t>(mesh)] = true;
        for (const tinygltf::Primitive& primitive :
             model_.meshes[static_cast<std::size_t>(mesh)].primitives) {
            RetrieveAccessor(primitive.indices, r);
            RetrieveMaterial(primitive.material, r);
            for (const auto& [semantic, accessor] : primitive.attributes) {
                RetrieveAccessor(accessor, r);
            }
            for (const std::map<std::string, int>& target : primitive.targets) {
                for (const auto& [semantic, accessor] : target) {
                    RetrieveAccessor(accessor, r);
                }
            }
        }
    }

    // Assimp reads a node's children, depth first, before the node's own mesh; a node
    // read once is not read again.
    void RetrieveTree(int start, Retrieval& r) const {
        if (start < 0 || static_cast<std::size_t>(start) >= r.nodes.size() ||
            r.nodes[static_cast<std::size_t>(start)]) {
            return;
        }
        std::vector<std::pair<int, std::size_t>> pending{{start, 0}};  // node, next child
        r.nodes[static_cast<std::size_t>(start)] = true;
        while (!pending.empty()) {
            auto& [node, next] = pending.back();
            const std::vector<int>& children = Children(node);
            if (next < children.size()) {
                const int child = children[next++];
                if (!r.nodes[static_cast<std::size_t>(child)]) {
                    r.nodes[static_cast<std::size_t>(child)] = true;
                    pending.push_back({child, 0});
                }
                continue;
            }
            RetrieveMesh(model_.nodes[static_cast<std::size_t>(node)].mesh, r);
            pending.pop_back();
        }
    }

    // The scene first, then the skins and the animations, as Assimp loads them.
    Retrieval Retrieve(const std::vector<int>& roots) const {
        Retrieval r;
        r.nodes.assign(model_.nodes.size(), false);
        r.meshes.assign(model_.meshes.size(), false);
        r.materials.assign(model_.materials.size(), false);
        r.buffers.assign(model_.buffers.size(), false);
        for (int root : roots) {
            RetrieveTree(root, r);
        }
        for (const tinygltf::Skin& skin : model_.skins) {
            RetrieveAccessor(skin.inverseBindMatrices, r);
            for (int joint : skin.joints) {
                RetrieveTree(joint, r);
            }
        }
        for (const tinygltf::Animation& animation : model_.animations) {
            for (const tinygltf::AnimationSampler& sampler : animation.samplers) {
                RetrieveAccessor(sampler.input, r);
                RetrieveAccessor(sampler.output, r);
            }
            for (const tinygltf::AnimationChannel& channel : animation.channels) {
                RetrieveTree(channel.target_node, r);
            }
        }
        return r;
    }

  private:
    const std::vector<int>& Children(int node) const {
        return model_.nodes[static_cast<std::size_t>(node)].children;
    }

    const tinygltf::Model& model_;
};

}  // namespace

GltfReadOrder ReadOrder(const tinygltf::Model& model, const std::vector<int>& roots) {
    ReadOrderWalk::Retrieval retrieval = ReadOrderWalk(model).Retrieve(roots);
    return {std::move(retrieval.materialOrder), std::move(retrieval.bufferOrder)};
}

}  // namespace cmp
