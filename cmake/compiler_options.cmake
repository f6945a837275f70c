# Warnings as errors everywhere; the tool itself is built without exceptions or RTTI.
add_library(project_options INTERFACE)
if(MSVC)
  target_compile_options(project_options INTERFACE /W4 /WX /permissive-)
else()
  target_compile_options(project_options INTERFACE -Wall -Wextra -Wpedantic -Werror)
endif()

add_library(tool_options INTERFACE)
target_link_libraries(tool_options INTERFACE project_options)
if(NOT MSVC)
  target_compile_options(tool_options INTERFACE -fno-exceptions -fno-rtti)
endif()

if(USB_FLASH_DETECT_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# A fuzzing build instruments everything it compiles, so the fuzz targets link the same
# libraries as the tool and the tests.
if(USB_FLASH_DETECT_FUZZERS)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer -g)
endif()

# The Windows executable carries its runtime with it, and no link time: the same sources
# give the same bytes.
if(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp)
endif()

# A release build gives the same bytes wherever the tree is checked out: no source or
# build folder in the debug information, from which the GNU linker computes the build ID
# that stays in a stripped binary.
option(USB_FLASH_DETECT_REPRODUCIBLE "Keep the checkout's and the build's folders out of the binaries" OFF)
if(USB_FLASH_DETECT_REPRODUCIBLE AND NOT MSVC)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
endif()
