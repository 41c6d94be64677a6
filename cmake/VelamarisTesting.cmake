# velamaris_add_test(<name> LABEL <subsystem> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>] [XVFB]
#                    [NO_LEAK_CHECK])
#
# One QtTest executable per test file. Every test runs headless, with a HOME,
# XDG_CONFIG_HOME, XDG_RUNTIME_DIR and TMPDIR of its own so that it never
# touches the user's settings or another test's temporary files. XVFB runs a
# test that needs a real X display (the xcb platform) in a virtual X server of
# its own. NO_LEAK_CHECK turns LeakSanitizer off for the test and the
# programs it starts in the sanitized build (VELAMARIS_SANITIZE): for tests
# that run the web engine, whose caches live until the process ends.
set(VELAMARIS_TEST_BIN_DIR ${CMAKE_BINARY_DIR}/tests/bin)
# Local sockets live in the runtime folder and their paths may not exceed
# 107 bytes: the tests' runtime folders are short, one per build tree.
string(MD5 build_tree_hash "${CMAKE_BINARY_DIR}")
string(SUBSTRING "${build_tree_hash}" 0 8 build_tree_hash)
set(VELAMARIS_TEST_RUNTIME_DIR /tmp/velamaris-tests-${build_tree_hash})

function(velamaris_add_test name)
  cmake_parse_arguments(T "XVFB;NO_LEAK_CHECK" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # The sanitizers slow the tests and the programs they start several times.
  if(VELAMARIS_SANITIZE)
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 3")
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt5::Test)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELAMARIS_TEST_BIN_DIR})
  set(home ${CMAKE_BINARY_DIR}/tests/home/${name})
  set(platform offscreen)
  set(command sh ${CMAKE_SOURCE_DIR}/cmake/run-test.sh)
  if(T_XVFB)
    set(platform xcb)
    list(APPEND command sh ${CMAKE_SOURCE_DIR}/cmake/run-xvfb.sh)
  endif()
  add_test(NAME ${name} COMMAND ${command} $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES
    LABELS "${T_LABEL}"
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=${platform};HOME=${home};XDG_CONFIG_HOME=${home}/.config;XDG_RUNTIME_DIR=${VELAMARIS_TEST_RUNTIME_DIR}/${name};TMPDIR=${home}/tmp;VELAMARIS_TEST_HOME=${home};VELAMARIS_BIN_DIR=${CMAKE_BINARY_DIR}/bin;VELAMARIS_TEST_BIN_DIR=${VELAMARIS_TEST_BIN_DIR};VELAMARIS_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  if(VELAMARIS_SANITIZE)
    set(sanitizer_environment ${VELAMARIS_SANITIZER_ENVIRONMENT})
    if(T_NO_LEAK_CHECK)
      string(REPLACE "detect_leaks=1:fast_unwind_on_malloc=0" "detect_leaks=0" sanitizer_environment
        "${sanitizer_environment}")
    endif()
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${sanitizer_environment})
  endif()
endfunction()
