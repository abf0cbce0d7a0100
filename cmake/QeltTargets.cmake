# Compile settings for the project's own targets only; third-party code keeps its own flags.

configure_file(${CMAKE_CURRENT_LIST_DIR}/Version.h.in ${PROJECT_BINARY_DIR}/generated/Version.h @ONLY)
add_library(qelt_version INTERFACE)
target_include_directories(qelt_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

function(qelt_configure_target target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive-)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    endif()
    if(QELT_SANITIZE)
        target_compile_options(${target} PRIVATE
            -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# add_qelt_library(name SOURCES...): a static library whose headers are included as "layer/File.h".
function(add_qelt_library name)
    add_library(${name} STATIC ${ARGN})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    qelt_configure_target(${name})
endfunction()

# add_sqlite_database(target database sql): builds the SQLite database file from the SQL file
# with the sqlite3 shell, anew whenever the SQL changes.
find_program(QELT_SQLITE3_SHELL sqlite3 REQUIRED)
function(add_sqlite_database target database sql)
    add_custom_command(
        OUTPUT ${database}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${database}
        COMMAND ${QELT_SQLITE3_SHELL} -bail ${database} ".read ${sql}"
        DEPENDS ${sql}
        COMMENT "Building ${database}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${database})
endfunction()
