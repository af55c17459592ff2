# The model pipeline's seed corpus, replayed as ordinary tests in every build (any
# compiler, no libFuzzer): one test per seed file.
add_executable(model_pipeline_replay ${CMAKE_SOURCE_DIR}/fuzz/model_pipeline_fuzz.cpp
                                     ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
target_link_libraries(model_pipeline_replay PRIVATE cmpplugin cmpinfo_report
                                                    cmp_test_support)
file(GLOB model_pipeline_seeds CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/corpus/model_pipeline/*)
foreach(seed ${model_pipeline_seeds})
  get_filename_component(seed_name ${seed} NAME)
  add_test(NAME model_pipeline_seed.${seed_name} COMMAND model_pipeline_replay ${seed})
endforeach()
