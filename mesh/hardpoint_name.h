#pragma once

namespace cmp {

// True when the first two characters are "hp" in any ASCII letter case. Null-safe.
// Extraction asks this once per mesh and keeps the answer (ExportMesh::isHardpoint),
// which every later step goes by.
bool IsHardpointName(const char* name);

}  // namespace cmp
