# Everything the reader's fuzz target calls besides the target itself.
set(UTF_READER_FUZZ_SOURCES
  ${CMAKE_SOURCE_DIR}/tree/mesh_reference.cpp
  ${CMAKE_SOURCE_DIR}/tree/node_tree.cpp
  ${CMAKE_SOURCE_DIR}/utf/string_table.cpp
  ${CMAKE_SOURCE_DIR}/utf/utf_layout.cpp
  ${CMAKE_SOURCE_DIR}/utf/utf_reader.cpp
  ${CMAKE_SOURCE_DIR}/mesh/name_id.cpp
  ${CMAKE_SOURCE_DIR}/tools/cmpinfo/leaf_decoders.cpp
  ${CMAKE_SOURCE_DIR}/tools/cmpinfo/mesh_stream_decoder.cpp
  ${CMAKE_SOURCE_DIR}/tools/cmpinfo/leaf_text.cpp
  ${CMAKE_SOURCE_DIR}/tools/cmpinfo/inspect.cpp
  ${CMAKE_SOURCE_DIR}/tools/cmpinfo/json_text.cpp
  ${CMAKE_SOURCE_DIR}/tools/cmpinfo/render_text.cpp
  ${CMAKE_SOURCE_DIR}/tools/cmpinfo/render_json.cpp)
