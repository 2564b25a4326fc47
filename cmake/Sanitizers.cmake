# Instrumented builds, used by the test suite's guards (tests/sanitize and tests/fuzz) and by
# hand:
#
#   PALOMIX_SANITIZE  every target is built with AddressSanitizer and UndefinedBehaviorSanitizer;
#                     undefined behaviour ends the program like a memory error does.
#   PALOMIX_FUZZ      the libFuzzer targets of tests/fuzz are built (clang only), and all code
#                     gets the coverage instrumentation that guides them.
option(PALOMIX_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(PALOMIX_FUZZ "Build the libFuzzer targets of tests/fuzz (clang only)" OFF)

if(PALOMIX_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
if(PALOMIX_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "PALOMIX_FUZZ needs clang (libFuzzer): configure with "
                            "-DCMAKE_CXX_COMPILER=clang++")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# A program that must behave as an uninstrumented one: the test helper that crashes on
# purpose has to end by its own signal, not by a sanitizer's report.
function(palomix_without_sanitizers target)
    if(PALOMIX_SANITIZE OR PALOMIX_FUZZ)
        target_compile_options(${target} PRIVATE -fno-sanitize=all)
        target_link_options(${target} PRIVATE -fno-sanitize=all)
    endif()
endfunction()
