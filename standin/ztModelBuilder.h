/* Building a model for the stand-in model library: for tests, for the model importer
 * and for the host programs. C linkage, so it crosses a DLL boundary as safely as the
 * model functions themselves; standin/model_builder.h wraps it for C++.
 *
 * Every function tolerates a null handle (it does nothing, or gives null / -1). */
#ifndef ZT_MODEL_BUILDER_H
#define ZT_MODEL_BUILDER_H

#include "host/ztModelLib.h"

#ifdef __cplusplus
extern "C" {
#endif

ZT_MODEL_API ztModel ztBuild_CreateModel(void);
/* Appends a material; returns its index. */
ZT_MODEL_API int32_t ztBuild_AddMaterial(ztModel model, const char* name);
/* Appends a mesh; materialIndex is stored as given, even when no such material exists. */
ZT_MODEL_API ztMesh ztBuild_AddMesh(ztModel model, const char* name, int32_t materialIndex);
ZT_MODEL_API void ztBuild_AddVertex(ztMesh mesh, float x, float y, float z, float u, float v);
ZT_MODEL_API void ztBuild_AddTriangle(ztMesh mesh, uint16_t a, uint16_t b, uint16_t c);

/* Moves every mesh named exactly `name` before all others, each group keeping its order;
 * returns how many moved (0 when no mesh has that name). Handles stay valid. */
ZT_MODEL_API int32_t ztBuild_MoveMeshesFirst(ztModel model, const char* name);

/* Make a count that the model functions report differ from what is stored (for
 * example negative or huge), to test how a plug-in copes with a lying host. The
 * functions still never read outside what is stored. */
ZT_MODEL_API void ztBuild_OverrideMeshCount(ztModel model, int32_t reportedCount);
ZT_MODEL_API void ztBuild_OverrideVertexCount(ztMesh mesh, int32_t reportedCount);
ZT_MODEL_API void ztBuild_OverrideTriangleCount(ztMesh mesh, int32_t reportedCount);

/* How many times ztModel_Destroy has freed a model in this process, and how many calls
 * of the model functions received a null handle: for tests of the plug-in. */
ZT_MODEL_API int32_t ztBuild_DestroyCount(void);
ZT_MODEL_API int32_t ztBuild_NullHandleCalls(void);

/* 1 while `model` is a model ztBuild_CreateModel made that ztModel_Destroy has not freed,
 * else 0 (also for null): a host that hands its model to a plug-in, which may destroy it,
 * asks before destroying it itself. A freed model's address may come back for a model
 * made later, which is then live. */
ZT_MODEL_API int32_t ztBuild_IsLiveModel(ztModel model);

#ifdef __cplusplus
}
#endif

#endif
