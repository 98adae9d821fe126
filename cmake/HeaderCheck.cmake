# vemo_add_header_check(LAYER SOURCE_ROOT LIBRARY)
# Every header of SOURCE_ROOT/LAYER gets a source of its own that includes only it, compiled by
# the OBJECT library vemo_<LAYER>_headers exactly as LIBRARY compiles its own sources (its include
# root, definitions, options and what it links). A header that compiles only after some other
# include fails there, under its own name.
function(vemo_add_header_check layer source_root library)
  file(GLOB _headers CONFIGURE_DEPENDS ${source_root}/${layer}/*.h)
  if(NOT _headers)
    return()
  endif()
  set(_folder ${CMAKE_CURRENT_BINARY_DIR}/header_check/${layer})
  set(_sources "")
  foreach(_header ${_headers})
    get_filename_component(_name ${_header} NAME_WE)
    set(_source ${_folder}/${_name}.cpp)
    # Written only when its text changes, so a configure does not rebuild them all.
    file(CONFIGURE OUTPUT ${_source} CONTENT "#include \"${layer}/${_name}.h\"\n")
    list(APPEND _sources ${_source})
  endforeach()
  set(_check vemo_${layer}_headers)
  add_library(${_check} OBJECT ${_sources})
  # Only compiled: no moc, nothing linked.
  set_target_properties(${_check} PROPERTIES AUTOMOC OFF)
  target_include_directories(${_check} PRIVATE $<TARGET_PROPERTY:${library},INCLUDE_DIRECTORIES>)
  target_compile_definitions(${_check} PRIVATE $<TARGET_PROPERTY:${library},COMPILE_DEFINITIONS>)
  target_compile_options(${_check} PRIVATE $<TARGET_PROPERTY:${library},COMPILE_OPTIONS>)
  target_link_libraries(${_check} PRIVATE ${library})
endfunction()
