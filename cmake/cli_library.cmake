# cmp_cli: the header-only command-line parser (Debian's libcli11-dev), with which
# modelhost and cmpinfo read their options. Headers only, so the cross build uses the
# build machine's copy too, in a folder of its own holding nothing but a link to CLI/
# (all of /usr/include would put glibc's headers before MinGW's).
add_library(cmp_cli INTERFACE)
find_path(CMP_CLI11_INCLUDE CLI/CLI.hpp
          PATHS /usr/include /usr/local/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
if(CMAKE_CROSSCOMPILING)
  set(cmp_cli_include ${CMAKE_BINARY_DIR}/cmp-cli-include)
  file(MAKE_DIRECTORY ${cmp_cli_include})
  file(CREATE_LINK ${CMP_CLI11_INCLUDE}/CLI ${cmp_cli_include}/CLI SYMBOLIC)
  target_include_directories(cmp_cli SYSTEM INTERFACE ${cmp_cli_include})
else()
  target_include_directories(cmp_cli SYSTEM INTERFACE ${CMP_CLI11_INCLUDE})
endif()
