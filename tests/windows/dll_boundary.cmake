cmake_minimum_required(VERSION 3.20)
# What cmpexport.dll shows the world, read with objdump -p: one export, CreatePlugIn at
# ordinal 1; the fifteen model functions imported from ztModelLib.dll; otherwise only
# Windows' own DLLs (no runtime DLL of the compiler).
#   cmake -DOBJDUMP=... -DDLL=.../cmpexport.dll -P dll_boundary.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()
set(problems "")

# Exports.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[^\n]*\n)*)" names "${dump}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_][A-Za-z0-9_@]*" exported "${CMAKE_MATCH_1}")
if(NOT exported STREQUAL "[   0] CreatePlugIn")
  list(APPEND problems "exports are '${exported}', not CreatePlugIn alone")
endif()
if(NOT dump MATCHES "Export Address Table -- Ordinal Base 1\n[ \t]+\\[   0\\] \\+base\\[   1\\]")
  list(APPEND problems "CreatePlugIn is not ordinal 1")
endif()
if(dump MATCHES "\\[   1\\] \\+base\\[   2\\]")
  list(APPEND problems "more than one entry in the export address table")
endif()

# Imported DLLs.
string(REGEX MATCHALL "DLL Name: [^\n]+" dlls "${dump}")
set(allowed "KERNEL32.DLL;USER32.DLL;COMDLG32.DLL;COMCTL32.DLL;GDI32.DLL;MSVCRT.DLL;ZTMODELLIB.DLL")
foreach(entry IN LISTS dlls)
  string(REPLACE "DLL Name: " "" dll "${entry}")
  string(TOUPPER "${dll}" upper)
  if(NOT upper IN_LIST allowed)
    list(APPEND problems "imports from ${dll}")
  endif()
endforeach()

# The model functions, and nothing else, from ztModelLib.dll.
string(REGEX MATCH "DLL Name: ztModelLib.dll\n[^\n]*\n(([ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_0-9]+\n)*)"
       section "${dump}")
string(REGEX MATCHALL "zt[A-Za-z]+_[A-Za-z]+" imported "${CMAKE_MATCH_1}")
list(SORT imported)
set(expected ztMaterial_GetName ztMesh_GetMaterialIndex ztMesh_GetName ztMesh_GetTriangleAt
    ztMesh_GetTriangleCount ztMesh_GetVertexAt ztMesh_GetVertexCount ztModel_Destroy
    ztModel_GetMaterialAt ztModel_GetMaterialCount ztModel_GetMeshAt ztModel_GetMeshCount
    ztTriangle_GetVertexIndices ztVertex_GetTexCoords ztVertex_GetVertex)
if(NOT imported STREQUAL expected)
  list(APPEND problems "imports from ztModelLib.dll are '${imported}'")
endif()

# The dialog template travels inside the DLL.
if(NOT dump MATCHES "Resource Directory")
  list(APPEND problems "no resource directory")
endif()

if(problems)
  list(JOIN problems "\n  " text)
  message(FATAL_ERROR "cmpexport.dll:\n  ${text}")
endif()
message(STATUS "cmpexport.dll: CreatePlugIn @1 only; 15 model functions; system DLLs only")
