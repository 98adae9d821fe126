# Fails when a source or header under ROOT includes a file through "..": such a path steps
# around the layer include roots, so an upward include would compile. Run by the build.
file(GLOB_RECURSE _files
  ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/tools/*.h ${ROOT}/tools/*.cpp
  ${ROOT}/tests/*.h ${ROOT}/tests/*.cpp ${ROOT}/bench/*.h ${ROOT}/bench/*.cpp
  ${ROOT}/fuzz/*.h ${ROOT}/fuzz/*.cpp)
set(_found "")
foreach(_file ${_files})
  # The build's own test tree keeps such a file on purpose.
  file(RELATIVE_PATH _relative ${ROOT} ${_file})
  if(_relative MATCHES "^tests/build/")
    continue()
  endif()
  file(STRINGS ${_file} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\.[/\\\\]")
  foreach(_line ${_lines})
    string(APPEND _found "\n  ${_file}: ${_line}")
  endforeach()
endforeach()
if(_found)
  message(FATAL_ERROR "An include may not go through \"..\"; include by the layer's own root "
    "(\"layer/File.h\") instead:${_found}")
endif()
