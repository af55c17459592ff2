#include "tests/models/test_models.h"

#include <array>
#include <string>

namespace cmp {

namespace {

// Deterministic values from a linear congruential generator: integers turned into
// floats by exact conversions and divisions by powers of two only.
class ExactNoise {
  public:
    explicit ExactNoise(std::uint32_t seed) : state_(seed) {}
    // A multiple of 1/64 in [-range, range].
    float Next(std::int32_t range) {
        state_ = state_ * 1664525u + 1013904223u;
        const std::int32_t steps =
            static_cast<std::int32_t>((state_ >> 8) % (2u * range * 64u + 1));
        return static_cast<float>(steps - range * 64) / 64.0f;
    }

  private:
    std::uint32_t state_;
};

void AddBox(ztMesh mesh, float x0, float y0, float z0, float size) {
    // Four vertices per face, so every face keeps its own normals and UVs.
    struct Face {
        std::array<std::array<float, 3>, 4> corners;
    };
    const float x1 = x0 + size, y1 = y0 + size, z1 = z0 + size;
    const std::array<Face, 6> faces{{
        {{{{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}}},
        {{{{x1, y0, z0}, {x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}}}},
        {{{{x1, y0, z1}, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}}}},
        {{{{x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}}}},
        {{{{x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {x0, y1, z0}}}},
        {{{{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}}},
    }};
    constexpr std::array<std::array<float, 2>, 4> uv{
        {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}}};
    std::uint16_t base = 0;
    for (const Face& face : faces) {
        for (std::size_t i = 0; i < 4; ++i) {
            const auto& p = face.corners[i];
            ztBuild_AddVertex(mesh, p[0], p[1], p[2], uv[i][0], uv[i][1]);
        }
        ztBuild_AddTriangle(mesh, base, static_cast<std::uint16_t>(base + 1),
                            static_cast<std::uint16_t>(base + 2));
        ztBuild_AddTriangle(mesh, base, static_cast<std::uint16_t>(base + 2),
                            static_cast<std::uint16_t>(base + 3));
        base = static_cast<std::uint16_t>(base + 4);
    }
}

void AddMarker(ztModel model, const char* name, float x, float y, float z) {
    ztMesh mesh = ztBuild_AddMesh(model, name, 0);
    ztBuild_AddVertex(mesh, x, y, z, 0.0f, 0.0f);
    ztBuild_AddVertex(mesh, x + 1.0f, y, z, 1.0f, 0.0f);
    ztBuild_AddVertex(mesh, x, y + 1.0f, z, 0.0f, 1.0f);
    ztBuild_AddTriangle(mesh, 0, 1, 2);
}

void BuildTriangle(ztModel model) {
    ztBuild_AddMaterial(model, "Plain");
    ztMesh mesh = ztBuild_AddMesh(model, "Triangle", 0);
    ztBuild_AddVertex(mesh, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ztBuild_AddVertex(mesh, 5.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    ztBuild_AddVertex(mesh, 0.0f, 92.0f, -46.0f, 0.25f, 0.75f);
    ztBuild_AddTriangle(mesh, 0, 1, 2);
}

void BuildCube(ztModel model) {
    ztBuild_AddMaterial(model, "Hull");
    AddBox(ztBuild_AddMesh(model, "Cube", 0), -1.0f, -1.0f, -1.0f, 2.0f);
}

void BuildSharedMaterials(ztModel model) {
    ztBuild_AddMaterial(model, "Hull");
    ztBuild_AddMaterial(model, "Glass");
    AddBox(ztBuild_AddMesh(model, "Body", 0), 0.0f, 0.0f, 0.0f, 4.0f);
    AddBox(ztBuild_AddMesh(model, "Canopy", 1), 1.0f, 4.0f, 1.0f, 1.5f);
    AddBox(ztBuild_AddMesh(model, "Wing", 0), 4.0f, 1.0f, 0.0f, 3.0f);
    // No such material: the host gives no name, so its identifier is that of "".
    AddBox(ztBuild_AddMesh(model, "Unpainted", 7), -3.0f, 0.0f, 0.0f, 1.0f);
}

void BuildHardpoints(ztModel model) {
    ztBuild_AddMaterial(model, "Hull");
    AddBox(ztBuild_AddMesh(model, "Ship", 0), -4.0f, -2.0f, -8.0f, 8.0f);
    AddMarker(model, "Hp_Fixed_HpEngine01", 0.0f, 0.0f, -9.0f);
    AddMarker(model, "HP_FIXED_HpMount02", 1.0f, 3.0f, 0.0f);
    AddMarker(model, "hp-revolute-Door", 5.0f, 0.0f, 0.0f);
    AddMarker(model, "Hp_Fixed_Gun", 0.0f, 7.0f, 1.0f);
    AddMarker(model, "Hp_Fixed_HpEngin", 0.0f, -3.0f, 2.0f);
    AddMarker(model, "Hp_Revolute_Turret", -6.0f, 1.0f, 1.0f);
    AddMarker(model, "Hp_Weapon_Gun", 2.0f, 2.0f, 2.0f);
    AddMarker(model, "HpFixed_Gun", 3.0f, 3.0f, 3.0f);
    AddMarker(model, "Hp_Fixed_", 0.0f, 0.0f, 20.0f);
    AddMarker(model, "Hp_Fixed_Gun", 0.0f, -7.0f, 1.0f);
}

void BuildOnlyHardpoints(ztModel model) {
    AddMarker(model, "Hp_Fixed_Alone", 1.0f, 2.0f, 3.0f);
    AddMarker(model, "Hp_Revolute_Hinge", -1.0f, 0.0f, 0.5f);
}

void BuildDegenerate(ztModel model) {
    ztBuild_AddMaterial(model, "Odd");
    ztMesh mesh = ztBuild_AddMesh(model, "Degenerate", 0);
    ztBuild_AddVertex(mesh, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ztBuild_AddVertex(mesh, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ztBuild_AddVertex(mesh, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ztBuild_AddVertex(mesh, 0.0f, 1.0f, 0.0f, -0.5f, 2.5f);
    ztBuild_AddVertex(mesh, 9.0f, 9.0f, 9.0f, 0.0f, 0.0f);  // used by no triangle
    ztBuild_AddTriangle(mesh, 0, 1, 2);                     // three corners on a line
    ztBuild_AddTriangle(mesh, 0, 0, 3);                     // two equal corners
    ztBuild_AddTriangle(mesh, 0, 1, 3);
    ztBuild_AddTriangle(mesh, 0, 3, 1);  // cancels the previous one's normal
    ztMesh points = ztBuild_AddMesh(model, "PointsOnly", 0);
    ztBuild_AddVertex(points, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f);
    ztBuild_AddVertex(points, -1.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    ztBuild_AddMesh(model, "Nothing", 0);
    AddMarker(model, "Hp_Fixed_Short", 0.0f, 0.0f, 0.0f);
    ztMesh twoPoints = ztBuild_AddMesh(model, "Hp_Fixed_TwoPoints", 0);
    ztBuild_AddVertex(twoPoints, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ztBuild_AddVertex(twoPoints, 0.0f, 3.0f, 0.0f, 0.0f, 0.0f);
}

void BuildAwkwardFloats(ztModel model) {
    ztBuild_AddMaterial(model, "Rounding");
    ztMesh mesh = ztBuild_AddMesh(model, "Awkward", 0);
    const std::array<std::array<float, 3>, 9> positions{{
        {5.0f, 1.0f / 3.0f, -0.0f},
        {1.0e30f, -1.0e-30f, 7.0f},
        {0.1f, 0.2f, 0.3f},
        {-123456.789f, 0.000123f, 42.0f},
        {1.0e-40f, 3.0f, -2.0f},  // subnormal
        {16777217.0f, -16777215.0f, 0.5f},
        {0.7f, 0.7f, 0.7f},
        {-3.0f, 2.0f / 3.0f, 1.0f / 7.0f},
        {92.0f, -46.0f, 23.0f},
    }};
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const auto& p = positions[i];
        ztBuild_AddVertex(mesh, p[0], p[1], p[2], static_cast<float>(i) / 3.0f,
                          1.0f - static_cast<float>(i) / 7.0f);
    }
    for (std::uint16_t i = 0; i + 2u < positions.size(); ++i) {
        ztBuild_AddTriangle(mesh, i, static_cast<std::uint16_t>(i + 1),
                            static_cast<std::uint16_t>(i + 2));
    }
    AddMarker(model, "Hp_Revolute_Near", 0.1f, 0.2f, 0.3f);
}

void BuildNoise(ztModel model) {
    ztBuild_AddMaterial(model, "Rock");
    ztBuild_AddMaterial(model, "Ice");
    ExactNoise noise(20261207u);
    for (int m = 0; m < 3; ++m) {
        const std::string name = "Asteroid" + std::to_string(m);
        ztMesh mesh = ztBuild_AddMesh(model, name.c_str(), m % 2);
        const int vertices = 600 + 250 * m;
        for (int v = 0; v < vertices; ++v) {
            const float x = noise.Next(50), y = noise.Next(50), z = noise.Next(50);
            ztBuild_AddVertex(mesh, x, y, z, noise.Next(2), noise.Next(2));
        }
        for (int t = 0; t < 2 * vertices; ++t) {
            const auto corner = [&] {
                return static_cast<std::uint16_t>(
                    (static_cast<std::int32_t>(noise.Next(512) * 64.0f) & 0x7FFFFFFF) % vertices);
            };
            const std::uint16_t a = corner(), b = corner(), c = corner();
            ztBuild_AddTriangle(mesh, a, b, c);
        }
    }
    AddMarker(model, "Hp_Fixed_Probe", 10.0f, 10.0f, 10.0f);
    AddMarker(model, "Hp_Revolute_Arm", -20.0f, 5.0f, 0.0f);
}

void BuildLongNames(ztModel model) {
    const std::string longMaterial(250, 'M');
    ztBuild_AddMaterial(model, longMaterial.c_str());
    // 190 characters: the longest base name whose ".lod0.vms" entry name still fits.
    const std::string base(190, 'b');
    AddBox(ztBuild_AddMesh(model, base.c_str(), 0), 0.0f, 0.0f, 0.0f, 1.0f);
    const std::string longMesh = "Second" + std::string(240, 'n');
    AddBox(ztBuild_AddMesh(model, longMesh.c_str(), 0), 2.0f, 0.0f, 0.0f, 1.0f);
    const std::string longHardpoint = "Hp_Fixed_" + std::string(200, 'h');
    AddMarker(model, longHardpoint.c_str(), 0.0f, 0.0f, 5.0f);
}

void BuildManyMeshes(ztModel model) {
    for (int m = 0; m < 40; ++m) {
        const std::string material = "Paint" + std::to_string(m % 9);
        ztBuild_AddMaterial(model, material.c_str());
    }
    for (int m = 0; m < 120; ++m) {
        const std::string name = (m % 10 == 9 ? "Hp_Fixed_Light" : "Panel") + std::to_string(m);
        const float offset = static_cast<float>(m) * 1.5f;
        if (m % 10 == 9) {
            AddMarker(model, name.c_str(), offset, 0.0f, 1.0f);
        } else {
            AddBox(ztBuild_AddMesh(model, name.c_str(), m % 40), offset, 0.0f, 0.0f, 1.25f);
        }
    }
}

// Hardpoints whose nearest faces take each branch of the orientation: a face whose
// normal runs along the depth axis (the pole), one whose normal has no x part, and a
// slanted one.
void BuildOrientations(ztModel model) {
    ztBuild_AddMaterial(model, "Plate");
    ztMesh pole = ztBuild_AddMesh(model, "Floor", 0);
    ztBuild_AddVertex(pole, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ztBuild_AddVertex(pole, 4.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    ztBuild_AddVertex(pole, 0.0f, 4.0f, 0.0f, 0.0f, 1.0f);
    ztBuild_AddTriangle(pole, 0, 1, 2);
    ztMesh zeroX = ztBuild_AddMesh(model, "Ramp", 0);
    ztBuild_AddVertex(zeroX, 20.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ztBuild_AddVertex(zeroX, 24.0f, 0.0f, 0.0f, 1.0f, 0.0f);
    ztBuild_AddVertex(zeroX, 20.0f, 3.0f, 4.0f, 0.0f, 1.0f);
    ztBuild_AddTriangle(zeroX, 0, 1, 2);
    ztMesh slanted = ztBuild_AddMesh(model, "Slope", 0);
    ztBuild_AddVertex(slanted, -20.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    ztBuild_AddVertex(slanted, -17.0f, 1.0f, 0.5f, 1.0f, 0.0f);
    ztBuild_AddVertex(slanted, -19.0f, 2.0f, 3.0f, 0.0f, 1.0f);
    ztBuild_AddTriangle(slanted, 0, 1, 2);
    AddMarker(model, "Hp_Revolute_Pole", 1.0f, 1.0f, 0.5f);
    AddMarker(model, "Hp_Fixed_ZeroX", 21.0f, 1.0f, 1.0f);
    AddMarker(model, "Hp_Revolute_Slope", -18.0f, 1.0f, 2.0f);
    AddMarker(model, "Hp_Fixed_HpEngineMain", -18.0f, 1.0f, -2.0f);
}

constexpr std::array<TestModel, 11> comparisonModels{{
    {"orientations", BuildOrientations},
    {"triangle", BuildTriangle},
    {"cube", BuildCube},
    {"shared_materials", BuildSharedMaterials},
    {"hardpoints", BuildHardpoints},
    {"only_hardpoints", BuildOnlyHardpoints},
    {"degenerate", BuildDegenerate},
    {"awkward_floats", BuildAwkwardFloats},
    {"noise", BuildNoise},
    {"long_names", BuildLongNames},
    {"many_meshes", BuildManyMeshes},
}};

}  // namespace

std::span<const TestModel> ComparisonModels() {
    return comparisonModels;
}

void BuildEmptyModel(ztModel /*model*/) {}

void BuildOverLimitModel(ztModel model) {
    ztBuild_AddMaterial(model, "Huge");
    ztMesh mesh = ztBuild_AddMesh(model, "TooManyVertices", 0);
    for (int v = 0; v < 70000; ++v) {
        ztBuild_AddVertex(mesh, static_cast<float>(v % 256), static_cast<float>(v / 256), 0.0f,
                          0.0f, 0.0f);
    }
    ztBuild_AddTriangle(mesh, 0, 1, 256);
}

ztModel CreateTestModel(void (*build)(ztModel model)) {
    ztModel model = ztBuild_CreateModel();
    build(model);
    return model;
}

}  // namespace cmp
