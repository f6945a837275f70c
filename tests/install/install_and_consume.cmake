# Installs the build tree's matcher into a fresh prefix, then configures, builds and runs
# a separate project against it.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "install failed: ${result}")
endif()
foreach(step
    "${CMAKE_COMMAND};-S;${SOURCE_DIR};-B;${WORK_DIR}/build;-DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix;-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
    "${CMAKE_COMMAND};--build;${WORK_DIR}/build"
    "${WORK_DIR}/build/match_consumer")
  execute_process(COMMAND ${step} RESULT_VARIABLE result)
  if(result)
    message(FATAL_ERROR "step failed (${result}): ${step}")
  endif()
endforeach()
