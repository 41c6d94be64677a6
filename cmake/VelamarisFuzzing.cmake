# velamaris_add_fuzz_target(<name> SOURCES <files...> LIBS <targets...>)
#
# One fuzz target per parser of outside input. Its sources define
# LLVMFuzzerTestOneInput; its seed inputs lie in fuzz/corpus/<name>/.
#
# - In the fuzz build (VELAMARIS_FUZZ, clang) it becomes the libFuzzer
#   program build-fuzz/fuzz/fuzz_<name>, which scripts/fuzz runs.
# - In every other build it becomes a test (label "fuzz") that feeds each
#   input of the corpus to the target once, so that an input that once
#   crashed a parser keeps being checked without fuzzing.
set(VELAMARIS_FUZZ_BIN_DIR ${CMAKE_BINARY_DIR}/fuzz)
set(VELAMARIS_FUZZ_CORPUS_DIR ${CMAKE_SOURCE_DIR}/fuzz/corpus)
if(VELAMARIS_FUZZ)
  add_custom_target(velamaris_fuzz_targets)
endif()

function(velamaris_add_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  set(target fuzz_${name})
  if(VELAMARIS_FUZZ)
    add_executable(${target} ${F_SOURCES})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    add_dependencies(velamaris_fuzz_targets ${target})
  else()
    add_executable(${target} ${F_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/replaymain.cpp)
    add_test(NAME ${target} COMMAND ${target} ${VELAMARIS_FUZZ_CORPUS_DIR}/${name})
    set_tests_properties(${target} PROPERTIES LABELS fuzz TIMEOUT 120)
    if(VELAMARIS_SANITIZE)
      set_property(TEST ${target} APPEND PROPERTY ENVIRONMENT ${VELAMARIS_SANITIZER_ENVIRONMENT})
    endif()
  endif()
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${VELAMARIS_FUZZ_BIN_DIR}
    AUTOMOC OFF AUTORCC OFF)
endfunction()
