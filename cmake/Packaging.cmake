# What `cmake --install` puts where, and the release packages cpack makes from it: the Debian
# package from a Linux build, the NSIS installer and the portable zip from the Windows build.
# Every package takes its version from the project version.
include(GNUInstallDirs)

set(QELT_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QELT_DEBIAN_NAME qeltaudittrigger)
set(QELT_MAINTAINER "The QeltAuditTrigger developers <qeltaudittrigger@example.org>")

# cpack installs what is built; scripts/package.sh builds only the programs and their files
# instead of every test and benchmark.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(WIN32)
    # A Windows program folder holds the programs beside their README and licence; on Linux
    # the licence is in the Debian copyright file.
    set(qelt_program_dir .)
    set(qelt_doc_dir .)
else()
    set(qelt_program_dir ${CMAKE_INSTALL_BINDIR})
    set(qelt_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${QELT_DEBIAN_NAME})
endif()

# The window joins the packages in builds that make it. scripts/package.sh builds the programs
# listed in packaging/programs, and tests/package expects them in the packages.
set(qelt_programs qeltaudit)
if(TARGET QeltAuditTrigger)
    list(APPEND qelt_programs QeltAuditTrigger)
endif()
install(TARGETS ${qelt_programs} RUNTIME DESTINATION ${qelt_program_dir})
list(JOIN qelt_programs "\n" qelt_program_lines)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/packaging/programs CONTENT "${qelt_program_lines}\n")

if(WIN32)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${qelt_doc_dir})
    install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${qelt_doc_dir} RENAME LICENSE.txt)
else()
    # Debian's documentation folder: the machine-readable copyright and the compressed
    # changelog, whose newest entry must be this version's.
    file(STRINGS ${QELT_PACKAGING_DIR}/changelog.Debian qelt_changelog_top LIMIT_COUNT 1)
    if(NOT qelt_changelog_top MATCHES "^${QELT_DEBIAN_NAME} \\(${PROJECT_VERSION}-1\\) ")
        message(FATAL_ERROR "packaging/changelog.Debian needs an entry for ${PROJECT_VERSION}-1")
    endif()
    find_program(QELT_GZIP gzip REQUIRED)
    set(generated ${PROJECT_BINARY_DIR}/packaging)
    file(MAKE_DIRECTORY ${generated})
    # The manual pages, written by hand; the build fills in the version. gzip -n: no name or
    # time stamp inside, so the same input gives the same bytes.
    foreach(page qeltaudit QeltAuditTrigger)
        configure_file(${QELT_PACKAGING_DIR}/${page}.1.in ${generated}/${page}.1 @ONLY)
        add_custom_command(
            OUTPUT ${generated}/${page}.1.gz
            COMMAND ${QELT_GZIP} -9n -c ${generated}/${page}.1 > ${generated}/${page}.1.gz
            DEPENDS ${generated}/${page}.1
            VERBATIM)
    endforeach()
    add_custom_command(
        OUTPUT ${generated}/changelog.Debian.gz
        COMMAND ${QELT_GZIP} -9n -c ${QELT_PACKAGING_DIR}/changelog.Debian
                > ${generated}/changelog.Debian.gz
        DEPENDS ${QELT_PACKAGING_DIR}/changelog.Debian
        VERBATIM)
    set(qelt_manual_pages ${generated}/qeltaudit.1.gz)
    if(TARGET QeltAuditTrigger)
        list(APPEND qelt_manual_pages ${generated}/QeltAuditTrigger.1.gz)
    endif()
    add_custom_target(qelt_package_files ALL
        DEPENDS ${qelt_manual_pages} ${generated}/changelog.Debian.gz)

    install(FILES ${qelt_manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${QELT_PACKAGING_DIR}/copyright ${generated}/changelog.Debian.gz
            DESTINATION ${qelt_doc_dir})
    if(TARGET QeltAuditTrigger)
        install(FILES ${QELT_PACKAGING_DIR}/${QELT_DEBIAN_NAME}.desktop
                DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
        foreach(size 16 32 48)
            install(FILES ${PROJECT_SOURCE_DIR}/src/mainwindow/icons/QeltAuditTrigger-${size}.png
                    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                    RENAME ${QELT_DEBIAN_NAME}.png)
        endforeach()
    endif()
endif()

# ---- cpack -----------------------------------------------------------------------------------
set(CPACK_PACKAGE_NAME QeltAuditTrigger)
set(CPACK_PACKAGE_VENDOR "The QeltAuditTrigger developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Writes the audit trigger script for a QeltOne item table")
set(CPACK_PACKAGE_DESCRIPTION
    "QeltAuditTrigger writes, for one item table of a QeltOne database, a
ready-to-run T-SQL script: an audit table plus an INSTEAD OF UPDATE trigger
that logs the old and new value of every changed column. It reads only the
table's column names and types through ODBC and never changes the database.

It ships as the window QeltAuditTrigger and the command line qeltaudit.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_INSTALL_DIRECTORY QeltAuditTrigger)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
    set(CPACK_GENERATOR NSIS ZIP)
    set(CPACK_PACKAGE_FILE_NAME QeltAuditTrigger-${PROJECT_VERSION}-win64)
    configure_file(${QELT_PACKAGING_DIR}/CPackPerGenerator.cmake.in
                   ${PROJECT_BINARY_DIR}/CPackPerGenerator.cmake @ONLY)
    set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackPerGenerator.cmake)

    # Debian's Wine runs 64-bit programs only, and makensis builds a 32-bit installer unless
    # told otherwise.
    set(CPACK_NSIS_DEFINES "Target amd64-unicode")
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    set(CPACK_NSIS_DISPLAY_NAME QeltAuditTrigger)
    # Also the Start-menu folder's name.
    set(CPACK_NSIS_PACKAGE_NAME QeltAuditTrigger)
    # One registry name for every version, so a new version replaces the installed one.
    set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY QeltAuditTrigger)
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    # The installer records its folder under the publisher's key; the uninstaller removes the
    # publisher's key too once nothing else is under it. CPackConfig.cmake holds the text as
    # written here, so the backslashes are doubled for it to read.
    set(qelt_publisher_key "Software\\\\${CPACK_PACKAGE_VENDOR}")
    set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
        "DeleteRegKey SHCTX '${qelt_publisher_key}\\\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}'
  DeleteRegKey /ifempty SHCTX '${qelt_publisher_key}'")
    set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
    set(CPACK_NSIS_MODIFY_PATH OFF)
    set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
    # The installer's pages in the product's words and pictures (packaging/NSIS.template.in, which
    # cpack finds in the module path before its own).
    list(APPEND CMAKE_MODULE_PATH ${QELT_PACKAGING_DIR})
    set(qelt_icons ${PROJECT_SOURCE_DIR}/src/mainwindow/icons)
    set(CPACK_NSIS_MUI_ICON ${qelt_icons}/QeltAuditTrigger.ico)
    set(CPACK_NSIS_MUI_UNIICON ${CPACK_NSIS_MUI_ICON})
    set(CPACK_NSIS_MUI_HEADERIMAGE ${qelt_icons}/QeltAuditTrigger-header.bmp)
    set(CPACK_NSIS_MUI_WELCOMEFINISHPAGE_BITMAP ${qelt_icons}/QeltAuditTrigger-welcome.bmp)
    set(CPACK_NSIS_MUI_UNWELCOMEFINISHPAGE_BITMAP ${CPACK_NSIS_MUI_WELCOMEFINISHPAGE_BITMAP})
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
    if(TARGET QeltAuditTrigger)
        set(CPACK_PACKAGE_EXECUTABLES QeltAuditTrigger QeltAuditTrigger)
        set(CPACK_NSIS_INSTALLED_ICON_NAME QeltAuditTrigger.exe)
        set(CPACK_NSIS_MUI_FINISHPAGE_RUN QeltAuditTrigger.exe)
    else()
        set(CPACK_NSIS_INSTALLED_ICON_NAME qeltaudit.exe)
    endif()
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_DEBIAN_PACKAGE_NAME ${QELT_DEBIAN_NAME})
    set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QELT_MAINTAINER}")
    set(CPACK_DEBIAN_PACKAGE_SECTION database)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # The drivers for the database files and servers the tool reads; any other driver works too.
    # Each file driver's package is its row's in src/dbsession/FileDriversUnixOdbc.cpp, which
    # FileDriversTest checks against this list.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsqliteodbc, odbc-mdbtools, odbc-postgresql")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()

include(CPack)
