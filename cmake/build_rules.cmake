# cmp_build_rules: what every target of this project compiles with, carried by the
# targets themselves (each layer links it PUBLIC, so whatever links a layer gets it too).
#
# Bit-exact output: no contraction into fused multiply-adds, no fast-math, and SSE2
# arithmetic (never x87) on 32-bit x86. The vectorizers stay off: GCC 12's has been seen
# to reuse a double where the code rounds to float and widens again, which changes the
# last bit of stored results, and the stored bits are the product. The code is plain
# C++ with no instruction set of its own, so any target builds it.
add_library(cmp_build_rules INTERFACE)
target_compile_options(cmp_build_rules INTERFACE
  -Wall -Wextra -Wpedantic -ffp-contract=off -fno-tree-vectorize)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86|x86_64|AMD64)$")
  target_compile_options(cmp_build_rules INTERFACE -msse2 -mfpmath=sse)
endif()
# Every header is named from the repository's root ("mesh/mesh.h"); the headers the
# configuration generates (release/version.h) are named as if they were there too.
target_include_directories(cmp_build_rules INTERFACE ${PROJECT_SOURCE_DIR}
                                                     ${PROJECT_BINARY_DIR}/generated)
# windows.h without its min and max macros, which would hide std::min and std::max: for
# every target and file of the build, not header by header.
if(WIN32)
  add_compile_definitions(NOMINMAX)
endif()
