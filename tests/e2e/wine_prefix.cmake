# Creates or shuts down the private Wine prefix that the Wine tests of a build share.
#
#   cmake -DACTION=create|stop -DWINE_PREFIX=<dir> -DWINE_ENV=<wine_env>
#         -DWINEBOOT=<wineboot> -DWINESERVER=<wineserver> [-DWINE_DLL_DIR=<dir>]
#         -P wine_prefix.cmake
#
# Nearly all of a new prefix (about 670 of 700 MB) is copies of Wine's own DLLs and
# programs, from WINE_DLL_DIR; each copy is replaced by a link to its original, which Wine
# loads the same way, so that the build folder stays small. The prefix is then marked for
# Wine never to update it in place, which would write through the links: after an upgrade
# of Wine, a new build folder makes a new prefix.

cmake_minimum_required(VERSION 3.20)

if(ACTION STREQUAL "create")
  # A fresh prefix each time, so no earlier run's state can leak into the cases.
  file(REMOVE_RECURSE "${WINE_PREFIX}")
  execute_process(COMMAND "${WINE_ENV}" "${WINE_PREFIX}" "${WINEBOOT}" -i
    RESULT_VARIABLE result TIMEOUT 300)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "wineboot -i failed: ${result}")
  endif()
  # Let the prefix's own processes finish starting and settle before the first case.
  execute_process(COMMAND "${WINE_ENV}" "${WINE_PREFIX}" "${WINESERVER}" -w TIMEOUT 120)
  if(NOT IS_DIRECTORY "${WINE_PREFIX}/drive_c/windows")
    message(FATAL_ERROR "wineboot made no drive_c/windows in ${WINE_PREFIX}")
  endif()
  file(GLOB_RECURSE files LIST_DIRECTORIES false "${WINE_PREFIX}/drive_c/*")
  foreach(file IN LISTS files)
    get_filename_component(name "${file}" NAME)
    if(WINE_DLL_DIR AND EXISTS "${WINE_DLL_DIR}/${name}")
      file(SHA1 "${file}" copy)
      file(SHA1 "${WINE_DLL_DIR}/${name}" original)
      if(copy STREQUAL original)
        file(CREATE_LINK "${WINE_DLL_DIR}/${name}" "${file}" SYMBOLIC)
      endif()
    endif()
  endforeach()
  file(WRITE "${WINE_PREFIX}/.update-timestamp" "disable\n")
elseif(ACTION STREQUAL "stop")
  if(IS_DIRECTORY "${WINE_PREFIX}")
    # Kills what is left running in this prefix only; none running is no failure.
    execute_process(COMMAND "${WINE_ENV}" "${WINE_PREFIX}" "${WINESERVER}" -k TIMEOUT 60)
  endif()
else()
  message(FATAL_ERROR "wine_prefix.cmake: ACTION must be create or stop")
endif()
