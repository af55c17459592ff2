# The import wire form's seed corpus, replayed as ordinary tests in every build.
add_executable(import_wire_replay ${CMAKE_SOURCE_DIR}/fuzz/import_wire_fuzz.cpp
                                  ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(import_wire_replay PRIVATE ztimport ztModelLib)
file(GLOB import_wire_seeds CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/corpus/import_wire/*)
foreach(seed ${import_wire_seeds})
  get_filename_component(seed_name ${seed} NAME)
  add_test(NAME import_wire_seed.${seed_name} COMMAND import_wire_replay ${seed})
endforeach()
