# Compares two links of loader.exe byte for byte and looks for the source and build directories
# in them.
#   cmake -DFIRST=... -DSECOND=... -DSOURCE_DIR=... -DBINARY_DIR=... -P CheckReproducible.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${FIRST} ${SECOND} RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "${FIRST} and ${SECOND}, linked from the same commit, differ")
endif()
foreach(directory ${SOURCE_DIR} ${BINARY_DIR})
  string(REGEX REPLACE "([][+.*?()^$|\\])" "\\\\\\1" pattern "${directory}")
  file(STRINGS ${FIRST} found LIMIT_COUNT 1 REGEX "${pattern}")
  if(found)
    message(FATAL_ERROR "${FIRST} names ${directory}: ${found}")
  endif()
endforeach()
file(SIZE ${FIRST} size)
message(STATUS "${FIRST} and its twin: the same ${size} bytes, naming no build directory")
