# Windows: what cmpexport.dll needs beyond the portable build.
if(NOT WIN32)
  return()
endif()

# The result dialog's template. Resource objects define no symbol, so from a static
# library the linker would leave them out; the DLL links them directly.
if(TARGET cmpui_win32_resources)
  target_sources(cmpexport PRIVATE $<TARGET_OBJECTS:cmpui_win32_resources>)
endif()

if(MINGW)
  # The compiler's runtime goes inside the DLL: a host ships no MinGW DLLs. Only the
  # .def file's entry is exported, however the sources are marked.
  target_link_options(cmpexport PRIVATE -static-libgcc -static-libstdc++
                      "LINKER:--exclude-all-symbols")
endif()
