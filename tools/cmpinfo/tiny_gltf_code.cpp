// The code of the glTF library, for the build that has no compiled copy of it to link.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
