# Shared helpers for the subsystem libraries and their test suites.

# tvrn2_layer_include_dir(<folder> <out-var>)
# Headers are included by their path from the repository root
# ("platform/Files.h"). A layer does not get the root on its include path:
# it gets a folder in the build tree that holds one link, named after the
# layer's top folder, to that folder. A library sees its own layer and the
# layers it links, so an include of a layer above or beside it does not
# compile. tests/layering checks what the include paths cannot (the parts of
# platform/, GTK and WebKit headers).
function(tvrn2_layer_include_dir folder out)
  set(dir ${PROJECT_BINARY_DIR}/layers/${folder})
  if(NOT IS_SYMLINK ${dir}/${folder})
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
  endif()
  set(${out} ${dir} PARENT_SCOPE)
endfunction()

# The top folder of the current source folder: the layer its targets belong to.
function(tvrn2_current_layer out)
  file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  string(REGEX REPLACE "/.*" "" layer "${relative}")
  set(${out} ${layer} PARENT_SCOPE)
endfunction()

# For the libraries whose switches go over their own small enums (platform,
# its GTK part, the browser host, diagnostics): every value is named, so a
# value added later is decided on wherever it is switched over. Not for the
# framework, the hyperlink library, the program and the web view, which pick
# a few of the window's many event kinds, or of the engine's context menu
# actions, and leave the rest to `default` on purpose.
set(TVRN2_EVERY_CASE -Wswitch-enum)

# tvrn2_library(<target> [GLOB <patterns...>] [LINK <targets...>])
# Builds a static library from the sources of the current folder (or the given
# glob patterns), with its layer's include folder on the include path.
function(tvrn2_library target)
  cmake_parse_arguments(ARG "" "" "GLOB;LINK" ${ARGN})
  tvrn2_current_layer(layer)
  tvrn2_layer_include_dir(${layer} include_dir)
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
    target_include_directories(${target} PUBLIC ${include_dir})
    target_link_libraries(${target} PUBLIC ${ARG_LINK})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${include_dir})
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
