# Compiles checked_patterns_test.cpp, syntax only, with one SHAPE: shape 0 must compile,
# and any other must fail with a message that matches EXPECT.
execute_process(
  COMMAND ${COMPILER} ${STANDARD} ${SYNTAX_ONLY} -I${SOURCE_ROOT} -DSHAPE=${SHAPE} ${SOURCE}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(SHAPE EQUAL 0)
  if(result)
    message(FATAL_ERROR "the accepted shapes do not compile:\n${output}")
  endif()
elseif(NOT result)
  message(FATAL_ERROR "shape ${SHAPE} compiles, but must be refused")
elseif(NOT output MATCHES "${EXPECT}")
  message(FATAL_ERROR "shape ${SHAPE} is refused, but not for \"${EXPECT}\":\n${output}")
endif()
