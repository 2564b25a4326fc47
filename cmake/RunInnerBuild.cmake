# Configures and builds the project in a tree of its own (see InnerBuilds.cmake). Run with
# cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DGENERATOR=... -DJOBS=... -DOPTIONS=a|b|c -P
string(REPLACE "|" ";" options "${OPTIONS}")
execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} -G ${GENERATOR} ${options}
    RESULT_VARIABLE configured)
if(NOT configured EQUAL 0)
    message(FATAL_ERROR "configuring ${BINARY_DIR} failed")
endif()
execute_process(
    COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} --parallel ${JOBS}
    RESULT_VARIABLE built)
if(NOT built EQUAL 0)
    message(FATAL_ERROR "building ${BINARY_DIR} failed")
endif()
