/* The host's model-access library: the only way the plug-in sees a model.
 *
 * Every handle is opaque and is passed back unchanged; every count and index is a
 * 32-bit signed integer; triangle corners are 16-bit vertex indices local to their
 * mesh. Names are copied into a caller buffer of `capacity` bytes: at most
 * `capacity` bytes are written, with a terminating NUL only when it fits.
 *
 * Our stand-in (standin/) answers a null handle or an out-of-range index with a
 * null handle or a count of 0, and writes nothing through it. */
#ifndef ZT_MODEL_LIB_H
#define ZT_MODEL_LIB_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(ZT_MODEL_LIB_BUILD)
#define ZT_MODEL_API __declspec(dllexport)
#else
#define ZT_MODEL_API __declspec(dllimport)
#endif
#else
#define ZT_MODEL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct ztModelObject* ztModel;
typedef struct ztMeshObject* ztMesh;
typedef struct ztMaterialObject* ztMaterial;
typedef struct ztVertexObject* ztVertex;
typedef struct ztTriangleObject* ztTriangle;

ZT_MODEL_API int32_t ztModel_GetMaterialCount(ztModel model);
ZT_MODEL_API int32_t ztModel_GetMeshCount(ztModel model);
ZT_MODEL_API ztMesh ztModel_GetMeshAt(ztModel model, int32_t meshIndex);
ZT_MODEL_API ztMaterial ztModel_GetMaterialAt(ztModel model, int32_t materialIndex);
/* Frees the model; its handle and every handle obtained from it become invalid. */
ZT_MODEL_API void ztModel_Destroy(ztModel model);

ZT_MODEL_API int32_t ztMesh_GetMaterialIndex(ztMesh mesh);
ZT_MODEL_API void ztMesh_GetName(ztMesh mesh, char* destination, int32_t capacity);
ZT_MODEL_API int32_t ztMesh_GetVertexCount(ztMesh mesh);
ZT_MODEL_API ztVertex ztMesh_GetVertexAt(ztMesh mesh, int32_t vertexIndex);
ZT_MODEL_API int32_t ztMesh_GetTriangleCount(ztMesh mesh);
ZT_MODEL_API ztTriangle ztMesh_GetTriangleAt(ztMesh mesh, int32_t triangleIndex);

ZT_MODEL_API void ztMaterial_GetName(ztMaterial material, char* destination, int32_t capacity);

/* Position x, y, z in host units and axes. */
ZT_MODEL_API void ztVertex_GetVertex(ztVertex vertex, float* xyz);
/* First texture coordinate set: u, then v. */
ZT_MODEL_API void ztVertex_GetTexCoords(ztVertex vertex, float* uv);

ZT_MODEL_API void ztTriangle_GetVertexIndices(ztTriangle triangle, uint16_t* corners);

#ifdef __cplusplus
}
#endif

#endif
