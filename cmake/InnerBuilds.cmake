# The test suite's guards build the project again in trees of their own below the build tree
# (sanitizers and fuzzers, Windows). Each such build is a test entry that sets up a fixture
# for the entries that use what it built; a failed build fails its entry and those entries
# then do not run.

set(PALOMIX_INNER_BUILD_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/RunInnerBuild.cmake)

# palomix_add_inner_build(NAME entry DIR tree FIXTURE name [LABELS ...] [OPTIONS -D...])
# The tree is configured with the options given plus PALOMIX_GUARD_BUILDS=OFF, so that it adds
# no guards of its own, and built with as many jobs as the machine has cores. A compiler
# launcher of this tree (ccache) is used there too.
function(palomix_add_inner_build)
    cmake_parse_arguments(ARG "" "NAME;DIR;FIXTURE" "LABELS;OPTIONS" ${ARGN})
    set(options -DPALOMIX_GUARD_BUILDS=OFF ${ARG_OPTIONS})
    foreach(lang C CXX)
        if(CMAKE_${lang}_COMPILER_LAUNCHER)
            list(APPEND options -DCMAKE_${lang}_COMPILER_LAUNCHER=${CMAKE_${lang}_COMPILER_LAUNCHER})
        endif()
    endforeach()
    cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
    # The options travel as one argument, joined by '|' (';' would be split by add_test).
    list(JOIN options "|" joined)
    add_test(NAME ${ARG_NAME}
        COMMAND ${CMAKE_COMMAND}
            -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DBINARY_DIR=${ARG_DIR}
            -DGENERATOR=${CMAKE_GENERATOR} -DJOBS=${cores} -DOPTIONS=${joined}
            -P ${PALOMIX_INNER_BUILD_SCRIPT})
    set_tests_properties(${ARG_NAME} PROPERTIES
        TIMEOUT 1800 FIXTURES_SETUP ${ARG_FIXTURE} LABELS "${ARG_LABELS}")
endfunction()

# An entry that only says why it cannot run: shown as skipped, never as passed.
function(palomix_add_skipped_entry name reason)
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "skipped: ${reason}")
    set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "skipped: " ${ARGN})
endfunction()
