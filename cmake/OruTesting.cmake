# oru_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One GoogleTest executable per area; tests are listed by CTest at run time so a
# sanitizer build never runs them at build time.
function(oru_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        ORU_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
        ORU_LIB_DIR="${CMAKE_LIBRARY_OUTPUT_DIRECTORY}"
        ORU_NLS_DIR="${ORU_NLS_OUTPUT_DIR}"
        ORU_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
        PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300)
endfunction()

# oru_add_test_library(<name> SOURCES <files...> LIBS <targets...>)
# A fixture that several test executables share, built once: its directory is
# on their include path, and it sees the same build-tree paths they do.
function(oru_add_test_library name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${T_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${T_LIBS} GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        ORU_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
        ORU_LIB_DIR="${CMAKE_LIBRARY_OUTPUT_DIRECTORY}"
        ORU_NLS_DIR="${ORU_NLS_OUTPUT_DIR}"
        ORU_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endfunction()
