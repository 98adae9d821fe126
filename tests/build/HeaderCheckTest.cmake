# Builds the fixture in WORK with the build's header check: the layer libraries compile, the
# complete header's check compiles, and the check of the header that lacks an include fails,
# naming that header.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -S ${FIXTURE} -B ${WORK} -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CXX} -DVEMO_CMAKE_DIR=${CMAKE_DIR}
  RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "The fixture does not configure:\n${_output}")
endif()
function(build target expect)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK} --target ${target}
    RESULT_VARIABLE _result OUTPUT_VARIABLE _output ERROR_VARIABLE _output)
  if(expect STREQUAL "passes" AND NOT _result EQUAL 0)
    message(FATAL_ERROR "${target} should build:\n${_output}")
  elseif(expect STREQUAL "fails")
    if(_result EQUAL 0)
      message(FATAL_ERROR "${target} should fail: partial/Missing.h lacks <string>")
    endif()
    if(NOT _output MATCHES "partial/Missing\\.h")
      message(FATAL_ERROR "${target} failed without naming partial/Missing.h:\n${_output}")
    endif()
  endif()
endfunction()
build(vemo_whole passes)
build(vemo_partial passes)
build(vemo_whole_headers passes)
build(vemo_partial_headers fails)
message(STATUS "The header lacking an include fails its check; the others build")
