# Installs the build tree into a scratch prefix, builds a project of someone else's against it
# with find_package, and runs one of its programs. Arguments:
#   BUILD_DIR, SOURCE_DIR, WORK_DIR, and the COMPILER, FLAGS and LINK_FLAGS the library was built
#   with (a sanitizer build needs them in the consumer too);
#   PROGRAM and ARGS: what to run, in WORK_DIR/run (ARGS a ;-list);
#   SETUP: a command (;-list) run in WORK_DIR/run before it, if given;
#   EXPECT: a regular expression the program's whole output must match;
#   SAME_FILES: two paths, relative to WORK_DIR/run, that must have the same contents.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/run)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE Result OUTPUT_QUIET)
if(Result)
  message(FATAL_ERROR "install failed")
endif()
if(NOT EXISTS ${WORK_DIR}/prefix/share/doc/varn/LICENSE)
  message(FATAL_ERROR "the licence is not installed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G Ninja
                        -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_BUILD_TYPE=Release
                        -DCMAKE_CXX_COMPILER=${COMPILER} "-DCMAKE_CXX_FLAGS=${FLAGS}"
                        "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}"
                RESULT_VARIABLE Result)
if(Result)
  message(FATAL_ERROR "configuring ${SOURCE_DIR} failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE Result)
if(Result)
  message(FATAL_ERROR "building ${SOURCE_DIR} failed")
endif()
if(SETUP)
  execute_process(COMMAND ${SETUP} WORKING_DIRECTORY ${WORK_DIR}/run RESULT_VARIABLE Result)
  if(Result)
    message(FATAL_ERROR "the set-up ${SETUP} failed: ${Result}")
  endif()
endif()
execute_process(COMMAND ${WORK_DIR}/build/${PROGRAM} ${ARGS} WORKING_DIRECTORY ${WORK_DIR}/run
                RESULT_VARIABLE Result OUTPUT_VARIABLE Output ERROR_VARIABLE Errors)
message("${Output}${Errors}")
if(NOT Result EQUAL 0 OR NOT Output MATCHES "${EXPECT}")
  message(FATAL_ERROR "${PROGRAM} failed: ${Result}")
endif()
if(SAME_FILES)
  list(GET SAME_FILES 0 First)
  list(GET SAME_FILES 1 Second)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${First} ${Second}
                  WORKING_DIRECTORY ${WORK_DIR}/run RESULT_VARIABLE Result)
  if(Result)
    message(FATAL_ERROR "${First} and ${Second} differ")
  endif()
endif()
