# uf_add_gtest(NAME SOURCES ... LIBS ...)
# One GoogleTest executable. On Linux every test case becomes a ctest test; under Wine each launch costs
# a process start, so the Windows build runs each executable as one ctest test. A hung test fails on its
# time limit instead of holding the run.
function(uf_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    # Wine programs that open windows on one X display at once can stall each other; they take turns.
    set_tests_properties(${name} PROPERTIES TIMEOUT 600 RESOURCE_LOCK display)
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()
