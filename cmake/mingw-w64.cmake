# Cross build for Windows with MinGW-w64, shared by the toolchain files of each
# architecture, which set MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR.
#
# MinGW-w64's compilers come in two thread models. The tool is built with win32 threads,
# whose runtime needs nothing beyond what every Windows has. GoogleTest needs std::mutex,
# which GCC 12 has only in the posix thread model (winpthreads, with imports of its own),
# so the build of the unit tests for Windows sets MINGW_THREAD_MODEL=posix.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT MINGW_THREAD_MODEL)
  set(MINGW_THREAD_MODEL win32)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_THREAD_MODEL)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-${MINGW_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-${MINGW_THREAD_MODEL})
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)
set(CMAKE_STRIP ${MINGW_TRIPLET}-strip)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
