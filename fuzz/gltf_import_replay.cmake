# The glTF importer's seed corpus, replayed as ordinary tests in every build.
add_executable(gltf_import_replay ${CMAKE_SOURCE_DIR}/fuzz/gltf_import_fuzz.cpp
                                  ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(gltf_import_replay PRIVATE ztimport_gltf ztModelLib cmp_test_support)
file(GLOB gltf_import_seeds CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/corpus/gltf_import/*)
foreach(seed ${gltf_import_seeds})
  get_filename_component(seed_name ${seed} NAME)
  add_test(NAME gltf_import_seed.${seed_name} COMMAND gltf_import_replay ${seed})
endforeach()
