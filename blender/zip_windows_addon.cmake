# Makes the Blender add-on's zip for Windows (cmake -P): the package exactly as the add-on's
# own zip holds it, with the Windows programs it runs in its bin folder, where the add-on
# looks first. A modder installs this one zip and nothing else.
#   ADDON_ZIP  the add-on's zip (blender/stage_addon.cmake's), whose cmpexport/ is taken whole
#   FILES      the files for cmpexport/bin/: the programs, the libraries, the texts
#   STRIP      the strip program for Windows binaries, which the release ships without
#              debugging information, as its other packages do
#   ZIP        the zip to write
set(stage ${ZIP}.stage)
file(REMOVE_RECURSE ${stage})
file(ARCHIVE_EXTRACT INPUT ${ADDON_ZIP} DESTINATION ${stage})
if(NOT IS_DIRECTORY ${stage}/cmpexport OR EXISTS ${stage}/cmpexport/bin)
  message(FATAL_ERROR "${ADDON_ZIP} does not hold the add-on's package alone")
endif()
file(MAKE_DIRECTORY ${stage}/cmpexport/bin)
foreach(source ${FILES})
  if(NOT EXISTS ${source})
    message(FATAL_ERROR "${source} is missing: the Windows add-on needs it")
  endif()
  get_filename_component(name ${source} NAME)
  file(COPY_FILE ${source} ${stage}/cmpexport/bin/${name})
  if(name MATCHES "\\.(exe|dll)$")
    execute_process(COMMAND ${STRIP} ${stage}/cmpexport/bin/${name} RESULT_VARIABLE stripped)
    if(NOT stripped EQUAL 0)
      message(FATAL_ERROR "cannot strip ${name}")
    endif()
  endif()
endforeach()
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip cmpexport
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE zipped)
file(REMOVE_RECURSE ${stage})
if(NOT zipped EQUAL 0)
  message(FATAL_ERROR "cannot make ${ZIP}")
endif()
