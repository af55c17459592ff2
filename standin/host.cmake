# The model importer and the host program modelhost; included from this folder's
# CMakeLists.txt. Assimp reads the model files.
# Not on Windows, where a real host (or the test host) loads the DLL.
if(WIN32)
  return()
endif()
find_package(assimp REQUIRED)

add_library(ztimport STATIC import_model.cpp import_wire.cpp isolated_import.cpp)
target_link_libraries(ztimport PUBLIC cmpcore ztModelLib PRIVATE assimp::assimp)

# The plan of an export, which --list prints and --save-as warns from: the host reads
# its model with the plug-in's own extraction, hardpoint rules and format check (the
# core layers, linked statically; never the plug-in library, which it only loads).
add_library(modelhost_plan STATIC export_plan.cpp export_plan_text.cpp)
target_link_libraries(modelhost_plan PUBLIC cmptree ztModelLib)

add_executable(modelhost modelhost.cpp modelhost_options.cpp plugin_location.cpp source_files.cpp)
target_link_libraries(modelhost PRIVATE ztimport modelhost_plan cmpfiles ztModelLib ${CMAKE_DL_LIBS})
# The plug-in loads beside it; the model library too. (Installed, both are in a folder of
# their own: release/CMakeLists.txt.)
set_target_properties(modelhost PROPERTIES BUILD_RPATH "$ORIGIN")
# Building modelhost builds the plug-in it loads by default (defined in plugin/).
add_dependencies(modelhost cmpexport)
