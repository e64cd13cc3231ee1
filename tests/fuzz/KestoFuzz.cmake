# kesto_fuzz_target(NAME SOURCES.. LIBS.. SEEDS folder [DICT file]): a target, its test fuzzing KESTO_FUZZ_SECONDS.
function(kesto_fuzz_target name)
    cmake_parse_arguments(F "" "SEEDS;DICT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/tests/fuzz/fuzz-target.sh $<TARGET_FILE:${name}> ${F_SEEDS}
                                  ${KESTO_FUZZ_SECONDS} ${F_DICT})
    math(EXPR limit "${KESTO_FUZZ_SECONDS} + 120")
    set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT ${limit})
endfunction()
