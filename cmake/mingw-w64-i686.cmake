# Cross build for 32-bit Windows with MinGW-w64: runs on 32- and 64-bit Windows alike.
set(MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
