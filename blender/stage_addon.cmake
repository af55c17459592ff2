# Stages the add-on's package with the project's version and zips it (cmake -P):
#   STAGE    the folder that receives cmpexport/
#   ZIP      the zip to write
#   VERSION  the project's version, MAJOR.MINOR.PATCH
#   SOURCES  the package's files
file(REMOVE_RECURSE ${STAGE}/cmpexport)
file(MAKE_DIRECTORY ${STAGE}/cmpexport)
string(REPLACE "." ", " version_tuple "${VERSION}")
foreach(source ${SOURCES})
  get_filename_component(name ${source} NAME)
  file(READ ${source} text)
  if(name STREQUAL "__init__.py")
    string(REGEX REPLACE "\"version\": \\([0-9, ]+\\)" "\"version\": (${version_tuple})"
           text "${text}")
  endif()
  file(WRITE ${STAGE}/cmpexport/${name} "${text}")
endforeach()
get_filename_component(zip_folder ${ZIP} DIRECTORY)
file(MAKE_DIRECTORY ${zip_folder})
file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip cmpexport
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
  message(FATAL_ERROR "cannot make ${ZIP}")
endif()
