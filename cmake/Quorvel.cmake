# Shared build rules for the layers, tests and benchmarks.

set(QUORVEL_WARNINGS -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(QUORVEL_WERROR)
    list(APPEND QUORVEL_WARNINGS -Werror)
endif()

# quorvel_layer(<folder> [DEPS targets...])
# Builds every source of src/<folder> (and its subfolders) into the library quorvel_<folder>.
function(quorvel_layer folder)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE _sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
        ${CMAKE_CURRENT_SOURCE_DIR}/*.ui ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    add_library(quorvel_${folder} STATIC ${_sources})
    target_include_directories(quorvel_${folder} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_compile_options(quorvel_${folder} PRIVATE ${QUORVEL_WARNINGS})
    target_compile_definitions(quorvel_${folder} PUBLIC
        QUORVEL_RESOURCES_DIR="${CMAKE_SOURCE_DIR}/resources"
        QT_NO_KEYWORDS)
    target_link_libraries(quorvel_${folder} PUBLIC ${ARG_DEPS})
endfunction()

# quorvel_test(<name> SOURCES files... LIBS targets... [LABELS ...] [FIXTURES ...] [WRAPPER cmd...]
#              [ENVIRONMENT VAR=value...] [TIMEOUT seconds])
# A GoogleTest program with a QApplication on the offscreen platform, run as one CTest test.
function(quorvel_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;FIXTURES;WRAPPER;ENVIRONMENT" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_compile_options(${name} PRIVATE ${QUORVEL_WARNINGS})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} quorvel_test_main GTest::gtest Qt6::Test)
    add_test(NAME ${name} COMMAND ${ARG_WRAPPER} $<TARGET_FILE:${name}>)
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 600)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUORVEL_TEST_OUTPUT=${CMAKE_BINARY_DIR}/test-output;${ARG_ENVIRONMENT}")
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
    if(ARG_FIXTURES)
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${ARG_FIXTURES}")
    endif()
endfunction()
