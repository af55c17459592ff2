# The fuzz target's seed corpus, replayed as ordinary tests in every build (any
# compiler, no libFuzzer): one test per seed file.
add_executable(utf_reader_replay ${CMAKE_SOURCE_DIR}/fuzz/utf_reader_fuzz.cpp
                                 ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
find_package(TinyGLTF REQUIRED)
target_link_libraries(utf_reader_replay PRIVATE cmpinfo_picture cmpinfo_gltf TinyGLTF::TinyGLTF)
file(GLOB utf_reader_seeds CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/corpus/utf_reader/*)
foreach(seed ${utf_reader_seeds})
  get_filename_component(seed_name ${seed} NAME)
  add_test(NAME utf_reader_seed.${seed_name} COMMAND utf_reader_replay ${seed})
  set_tests_properties(utf_reader_seed.${seed_name} PROPERTIES
                       ENVIRONMENT "${CMP_SYSTEM_LEAKS_IGNORED}")
endforeach()
