# libFuzzer targets (clang only) over the inputs that come from outside: the command line,
# version texts, string-table blocks and the release's manifest. Each runs for a bounded time in the test suite,
# starting from the committed seeds; what it finds new stays in the build tree.
set(FUZZ_SECONDS 20 CACHE STRING "How long each fuzzer runs in the test suite")
foreach(target command_line version string_table release_manifest)
  add_executable(${target}_fuzz ${CMAKE_CURRENT_LIST_DIR}/${target}_fuzz.cpp)
  target_include_directories(${target}_fuzz PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${target}_fuzz PRIVATE simulated_windows core)
  target_compile_options(${target}_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_options(${target}_fuzz PRIVATE -fsanitize=fuzzer)
  set(found ${CMAKE_BINARY_DIR}/fuzz-found/${target})
  add_test(NAME fuzz.${target}
    COMMAND ${CMAKE_COMMAND} -E env UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
            sh -c "mkdir -p '${found}' && exec \"$0\" \"$@\""
            $<TARGET_FILE:${target}_fuzz> -max_total_time=${FUZZ_SECONDS} -timeout=10
            -rss_limit_mb=2048 -print_final_stats=1 ${found}
            ${CMAKE_CURRENT_LIST_DIR}/corpus/${target})
  set_tests_properties(fuzz.${target} PROPERTIES LABELS fuzz TIMEOUT 300)
endforeach()
