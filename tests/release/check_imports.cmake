# Fails when a Windows executable imports a function outside the supported set: the
# Windows versions the release states rest on that set.
#
#   cmake -DEXE=<usb-flash-detect.exe> -DOBJDUMP=<mingw objdump>
#         -DSUPPORTED=<windows_imports.txt> -P check_imports.cmake

cmake_minimum_required(VERSION 3.20)

file(STRINGS "${SUPPORTED}" rows REGEX "^[^#]")
set(supported "")
foreach(row IN LISTS rows)
  string(REGEX MATCH "^([^ ]+) +([^ ]+)" _ "${row}")
  string(TOLOWER "${CMAKE_MATCH_1}" dll)
  list(APPEND supported "${dll}:${CMAKE_MATCH_2}")
endforeach()

execute_process(COMMAND "${OBJDUMP}" -p "${EXE}" OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed: ${result}")
endif()

# The import tables: a "DLL Name:" line, then one "<vma> <hint> <name>" line per function.
string(REPLACE "\n" ";" lines "${dump}")
set(imports "")
set(dll "")
foreach(line IN LISTS lines)
  if(line MATCHES "^\tDLL Name: (.+)$")
    string(TOLOWER "${CMAKE_MATCH_1}" dll)
  elseif(dll AND line MATCHES "^\t[0-9a-f]+\t +[0-9]+ +([^ ]+)$")
    list(APPEND imports "${dll}:${CMAKE_MATCH_1}")
  elseif(line STREQUAL "")
    set(dll "")
  endif()
endforeach()
if(NOT imports)
  message(FATAL_ERROR "no imports found in ${EXE}: objdump's format not understood")
endif()

set(outside ${imports})
list(REMOVE_ITEM outside ${supported})
list(LENGTH imports count)
if(outside)
  list(JOIN outside "\n  " outside)
  message(FATAL_ERROR "${EXE} imports functions outside the supported set "
    "(${SUPPORTED}):\n  ${outside}")
endif()
message(STATUS "${count} imports, all in the supported set")
