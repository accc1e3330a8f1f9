# GoogleTest for the build at hand, and varn_add_test().
if(CMAKE_CROSSCOMPILING)
  # Debian ships googletest as sources; build them for the target.
  set(VARN_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${VARN_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
  # The sources define the GTest:: aliases themselves.
  foreach(target gtest gtest_main gmock)
    target_compile_options(${target} PRIVATE -w)
  endforeach()
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# varn_add_test(NAME SOURCES src... [LIBRARIES lib...])
# Natively every test case is its own CTest test; under Wine each executable is one CTest test,
# since starting a Windows process costs far more than the test cases themselves.
function(varn_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} varn_test_support GTest::gtest_main
                                        GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
