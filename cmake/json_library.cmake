# cmp_json: nlohmann's header-only JSON library (Debian's nlohmann-json3-dev), for
# cmpinfo --json and modelhost --list --json. Headers only, no code built for one
# machine, so the cross build uses the build machine's copy too. The MinGW toolchain file
# confines find_package and find_path to /usr/i686-w64-mingw32, so the header is looked
# for on the host's include path by hand; and since putting all of /usr/include on the
# cross compiler's path would put glibc's headers before MinGW's, the cross build sees a
# folder of its own that holds nothing but a link to nlohmann/.
add_library(cmp_json INTERFACE)
if(CMAKE_CROSSCOMPILING)
  find_path(CMP_NLOHMANN_JSON_INCLUDE nlohmann/json.hpp
            PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(cmp_json_include ${CMAKE_BINARY_DIR}/cmp-json-include)
  file(MAKE_DIRECTORY ${cmp_json_include})
  file(CREATE_LINK ${CMP_NLOHMANN_JSON_INCLUDE}/nlohmann ${cmp_json_include}/nlohmann
       SYMBOLIC)
  target_include_directories(cmp_json SYSTEM INTERFACE ${cmp_json_include})
else()
  find_package(nlohmann_json 3.11 REQUIRED)
  target_link_libraries(cmp_json INTERFACE nlohmann_json::nlohmann_json)
endif()
