# cmp_tinygltf: the header-only glTF 2.0 reader (Debian's libtinygltf-dev), for the glTF
# importer that modelhost.exe carries on Windows, where there is no Assimp. Headers only,
# so the cross build uses the build machine's copy too, in a folder of its own holding
# nothing but a link to tiny_gltf.h (all of /usr/include would put glibc's headers before
# MinGW's). It reads the JSON through cmp_json.
#
# Configured to read geometry only: no image is decoded or written and no external image
# is opened (the importer sets an image loader that does nothing), and the importer hands
# it every file through callbacks of its own, which expand no path.
add_library(cmp_tinygltf INTERFACE)
find_path(CMP_TINYGLTF_INCLUDE tiny_gltf.h
          PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
if(CMAKE_CROSSCOMPILING)
  set(cmp_tinygltf_include ${CMAKE_BINARY_DIR}/cmp-tinygltf-include)
  file(MAKE_DIRECTORY ${cmp_tinygltf_include})
  file(CREATE_LINK ${CMP_TINYGLTF_INCLUDE}/tiny_gltf.h ${cmp_tinygltf_include}/tiny_gltf.h
       SYMBOLIC)
  target_include_directories(cmp_tinygltf SYSTEM INTERFACE ${cmp_tinygltf_include})
else()
  target_include_directories(cmp_tinygltf SYSTEM INTERFACE ${CMP_TINYGLTF_INCLUDE})
endif()
target_compile_definitions(cmp_tinygltf INTERFACE
  TINYGLTF_NO_STB_IMAGE TINYGLTF_NO_STB_IMAGE_WRITE TINYGLTF_NO_EXTERNAL_IMAGE)
target_link_libraries(cmp_tinygltf INTERFACE cmp_json)
