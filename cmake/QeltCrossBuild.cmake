# Dependencies of a cross build that have no package for the target: GoogleTest is built from
# Debian's sources, and CLI11 (header-only) gets a private copy of the host's headers, so the
# host's /usr/include never reaches the target compiler.

function(qelt_cross_googletest)
    set(source_dir /usr/src/googletest)
    if(NOT EXISTS ${source_dir}/CMakeLists.txt)
        message(FATAL_ERROR "GoogleTest sources not found in ${source_dir} (package googletest)")
    endif()
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    # Its own CMake files define the GTest:: names that find_package(GTest) gives natively.
    add_subdirectory(${source_dir} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endfunction()

function(qelt_cross_cli11)
    if(TARGET CLI11::CLI11)
        return()
    endif()
    find_path(QELT_HOST_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include /usr/local/include
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT QELT_HOST_CLI11_INCLUDE_DIR)
        message(FATAL_ERROR "CLI11 headers not found (package libcli11-dev)")
    endif()
    set(copy_dir ${CMAKE_BINARY_DIR}/host-headers)
    file(COPY ${QELT_HOST_CLI11_INCLUDE_DIR}/CLI DESTINATION ${copy_dir})
    add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
    target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${copy_dir})
endfunction()

# Tests of a cross build run under Wine in a prefix of their own inside the build folder. The
# fixture test `wine_prefix` creates it when missing and adds the registry values the Windows
# tests read, so plain ctest works there too. Sets QELT_WINE_TEST_ENVIRONMENT for the tests.
function(qelt_wine_prefix_fixture)
    set(prefix ${CMAKE_BINARY_DIR}/wineprefix)
    add_test(NAME wine_prefix COMMAND ${PROJECT_SOURCE_DIR}/tests/wine/prepare-prefix.sh)
    set(environment WINEPREFIX=${prefix} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
    set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix
                         ENVIRONMENT "${environment}")
    set(QELT_WINE_TEST_ENVIRONMENT "${environment}" PARENT_SCOPE)
endfunction()
