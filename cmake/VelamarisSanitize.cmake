# VELAMARIS_SANITIZE: the whole build with AddressSanitizer and
# UndefinedBehaviorSanitizer (scripts/test --sanitize builds it into
# build-sanitize/). Undefined behaviour stops the program, so a test cannot
# pass over it. The tests run with the options below; the suppression files
# name only what Qt and the libraries under it do (tests/sanitize/).
option(VELAMARIS_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

# VELAMARIS_FUZZ: the fuzz targets as libFuzzer programs (clang only;
# scripts/fuzz builds them into build-fuzz/).
option(VELAMARIS_FUZZ "Build the fuzz targets for libFuzzer (clang)" OFF)

set(VELAMARIS_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)

if(VELAMARIS_SANITIZE OR VELAMARIS_FUZZ)
  add_compile_options(${VELAMARIS_SANITIZER_FLAGS})
  add_link_options(${VELAMARIS_SANITIZER_FLAGS})
endif()
if(VELAMARIS_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VELAMARIS_FUZZ needs clang (CXX=clang++)")
  endif()
  # Coverage for the fuzzer everywhere; only the targets link its main.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

set(VELAMARIS_SANITIZE_DIR ${CMAKE_SOURCE_DIR}/tests/sanitize)
# Options of the sanitized tests and of every program they start (the
# environment passes to child processes).
# Leaks are traced through the libraries' own frames (fast_unwind_on_malloc=0:
# Qt is built without frame pointers), so that a suppression can name the
# library a leak comes from rather than a function every leak passes.
# intercept_strndup=0: libxkbcommon-x11 (under Qt's xcb platform, where the
# plug-in page tests run) hands strndup a length past the end of an X reply's
# buffer and stops at the name's end; ASan's interceptor reads the full length.
set(VELAMARIS_SANITIZER_ENVIRONMENT
  "ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:strict_string_checks=1:check_initialization_order=1:intercept_strndup=0"
  "LSAN_OPTIONS=suppressions=${VELAMARIS_SANITIZE_DIR}/lsan.supp:print_suppressions=0"
  "UBSAN_OPTIONS=suppressions=${VELAMARIS_SANITIZE_DIR}/ubsan.supp:print_stacktrace=1:halt_on_error=1")
