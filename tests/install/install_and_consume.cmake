# Installs the build tree's matcher alone (its component) into a fresh prefix, checks what
# lands there, then configures, builds and runs a separate project that takes the matcher
# by MODE: find_package from that prefix, or FetchContent of the source tree, which then
# builds the matcher and the tool and configures nothing else.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --component matcher
                --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "install failed: ${result}")
endif()

# The header under the project's own folder, the library and the package files, and
# nothing of the tool.
file(GLOB_RECURSE installed RELATIVE ${WORK_DIR}/prefix ${WORK_DIR}/prefix/*)
list(SORT installed)
set(unexpected ${installed})
list(FILTER unexpected EXCLUDE REGEX
  "^(include/usb_flash_detect/match\\.h|lib(64)?/libusb_flash_detect_match\\.a|lib(64)?/cmake/usb_flash_detect/usb_flash_detect(Config|ConfigVersion|Targets|Targets-[a-z]+)\\.cmake)$")
list(LENGTH installed count)
if(unexpected OR NOT count EQUAL 6)
  list(JOIN installed "\n  " installed)
  message(FATAL_ERROR "the matcher's install holds\n  ${installed}")
endif()

foreach(step
    "${CMAKE_COMMAND};-S;${SOURCE_DIR};-B;${WORK_DIR}/build;-DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix;-DMODE=${MODE};-DFETCHCONTENT_SOURCE_DIR_USB_FLASH_DETECT=${PROJECT_SOURCE};-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
    "${CMAKE_COMMAND};--build;${WORK_DIR}/build"
    "${WORK_DIR}/build/match_consumer")
  execute_process(COMMAND ${step} RESULT_VARIABLE result)
  if(result)
    message(FATAL_ERROR "step failed (${result}): ${step}")
  endif()
endforeach()
foreach(part tests bench fuzz match/compile_checks)
  if(EXISTS ${WORK_DIR}/build/_deps/usb_flash_detect-build/${part})
    message(FATAL_ERROR "taken in by FetchContent, the tree configured ${part}")
  endif()
endforeach()
