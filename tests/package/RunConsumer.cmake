# Installs the build tree into a scratch prefix, builds the consumer against it with
# find_package, and runs it. Arguments: BUILD_DIR, SOURCE_DIR, WORK_DIR, and the COMPILER,
# FLAGS and LINK_FLAGS the library was built with (a sanitizer build needs them in the
# consumer too).
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/run)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE Result OUTPUT_QUIET)
if(Result)
  message(FATAL_ERROR "install failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build -G Ninja
                        -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_BUILD_TYPE=Release
                        -DCMAKE_CXX_COMPILER=${COMPILER} "-DCMAKE_CXX_FLAGS=${FLAGS}"
                        "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}"
                RESULT_VARIABLE Result)
if(Result)
  message(FATAL_ERROR "configuring the consumer failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE Result)
if(Result)
  message(FATAL_ERROR "building the consumer failed")
endif()
execute_process(COMMAND ${WORK_DIR}/build/consumer ${WORK_DIR}/run RESULT_VARIABLE Result
                OUTPUT_VARIABLE Output)
if(NOT Result EQUAL 0 OR NOT Output STREQUAL "ok\n")
  message(FATAL_ERROR "the consumer failed: ${Result} ${Output}")
endif()
