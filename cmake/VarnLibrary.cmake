# varn_add_library(NAME [NOT_INSTALLED] SOURCES src... HEADERS hdr... [LIBRARIES lib...]): one
# layer of the library, exported as varn::NAME (the target itself is varn_NAME). HEADERS are the
# layer's public headers, the ones installed; headers that only its sources include stay out of
# them. NOT_INSTALLED: a layer of the project's own programs, not part of the package.
function(varn_add_library name)
  cmake_parse_arguments(ARG "NOT_INSTALLED" "" "SOURCES;HEADERS;LIBRARIES" ${ARGN})
  add_library(varn_${name} STATIC ${ARG_SOURCES})
  add_library(varn::${name} ALIAS varn_${name})
  set_target_properties(varn_${name} PROPERTIES EXPORT_NAME ${name})
  target_sources(varn_${name} PUBLIC FILE_SET HEADERS BASE_DIRS ${VARN_SOURCE_ROOT}
                                     FILES ${ARG_HEADERS})
  target_include_directories(varn_${name} PUBLIC $<BUILD_INTERFACE:${VARN_SOURCE_ROOT}>
                                                 $<INSTALL_INTERFACE:include>)
  target_link_libraries(varn_${name} PUBLIC ${ARG_LIBRARIES})
  if(ARG_NOT_INSTALLED)
    return()
  endif()
  install(TARGETS varn_${name} EXPORT varnTargets ARCHIVE DESTINATION lib
          FILE_SET HEADERS DESTINATION include)
endfunction()
