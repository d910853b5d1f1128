# Shared helpers for the subsystem libraries and their test suites.

# tvrn2_library(<target> [GLOB <patterns...>] [LINK <targets...>])
# Builds a static library from the sources of the current folder (or the given
# glob patterns), with the repository root on the include path.
function(tvrn2_library target)
  cmake_parse_arguments(ARG "" "" "GLOB;LINK" ${ARGN})
  if(NOT ARG_GLOB)
    set(ARG_GLOB "*.cpp")
  endif()
  set(sources "")
  foreach(pattern IN LISTS ARG_GLOB)
    file(GLOB found CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${pattern}")
    list(APPEND sources ${found})
  endforeach()
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_LINK})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${ARG_LINK})
  endif()
endfunction()

# tvrn2_test_suite(<name> LINK <targets...>)
# One GoogleTest executable per folder of tests/, from every *Test.cpp in it;
# ctest runs each test in a process of its own, and an exit() in the middle
# of a test fails it (tests/support/main/ExitGuard.cpp). Tests that drive the real
# pointer and keyboard take an X server of their own (tests/support/gtk), so
# they run beside the others.
function(tvrn2_test_suite name)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources} ${PROJECT_SOURCE_DIR}/tests/support/main/ExitGuard.cpp)
  target_link_libraries(${name} PRIVATE ${ARG_LINK} tvrn2_testsupport GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "DBUS_SESSION_BUS_ADDRESS=disabled:")
endfunction()
