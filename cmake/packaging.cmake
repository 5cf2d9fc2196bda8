# What `cmake --install` puts beside the programs, and the Debian package made of it
# (`cpack -G DEB`). The programs' own install rules sit with their targets.
include(GNUInstallDirs)

set(PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The panel falls back on <bin>/../share/lcdpanel/ for its demo picture.
if(TARGET lcdpanel)
    install(FILES ${PROJECT_SOURCE_DIR}/demo/demo480x480-4.jpg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lcdpanel)
endif()

if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
    return()
endif()

if(TARGET lcdpanel)
    install(FILES ${PACKAGING_DIR}/lcdpanel.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PACKAGING_DIR}/lcdpanel.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES ${PACKAGING_DIR}/lcdpanel.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
endif()

# The example pages, and the fonts they draw with.
if(TARGET pages_run)
    file(GLOB PACKAGING_PAGES ${PROJECT_SOURCE_DIR}/pages/examples/*.toml)
    install(FILES ${PACKAGING_PAGES} DESTINATION ${CMAKE_INSTALL_DATADIR}/lcdpanel/pages)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/pages.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lcdpanel)
    # X font packages may only be recommended: Unifont's outline build stands in for its
    # bitmap, and a page that names wqy without it is told so.
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-unifont")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xfonts-unifont, xfonts-wqy")
endif()

# Debian wants the changelog gzipped without a name or time stamp (-n), at -9.
set(PACKAGING_CHANGELOG_GZ ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
    OUTPUT ${PACKAGING_CHANGELOG_GZ}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
    COMMAND gzip -9n -c ${PACKAGING_DIR}/changelog > ${PACKAGING_CHANGELOG_GZ}
    DEPENDS ${PACKAGING_DIR}/changelog
    VERBATIM)
add_custom_target(packaging_changelog ALL DEPENDS ${PACKAGING_CHANGELOG_GZ})
install(FILES ${PACKAGING_DIR}/copyright ${PACKAGING_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lcdpanel)

# lcdhub's services: one for a user's session, a template for each port of the system (run
# as a dynamic user, so that no account has to be made for it).
set(PACKAGING_PROGRAMS lcdpanel lcdctl lcdsim)
if(TARGET lcdhub)
    list(APPEND PACKAGING_PROGRAMS lcdhub)
    install(FILES ${PACKAGING_DIR}/systemd/lcdhub.service DESTINATION lib/systemd/user)
    install(FILES ${PACKAGING_DIR}/systemd/lcdhub@.service DESTINATION lib/systemd/system)
endif()

# A manual page for each program, gzipped the same way (man reads them as they are).
set(PACKAGING_MAN_PAGES_GZ)
foreach(program ${PACKAGING_PROGRAMS})
    set(page_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/man/${program}.1.gz)
    add_custom_command(
        OUTPUT ${page_gz}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging/man
        COMMAND gzip -9n -c ${PACKAGING_DIR}/man/${program}.1 > ${page_gz}
        DEPENDS ${PACKAGING_DIR}/man/${program}.1
        VERBATIM)
    list(APPEND PACKAGING_MAN_PAGES_GZ ${page_gz})
endforeach()
add_custom_target(packaging_man_pages ALL DEPENDS ${PACKAGING_MAN_PAGES_GZ})
install(FILES ${PACKAGING_MAN_PAGES_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The same build packs to the same bytes: cpack dates the package's files by
# SOURCE_DATE_EPOCH, which, unless the caller sets it, is the last commit's time, read when
# cpack runs (a commit made after configuring counts).
find_package(Git QUIET)
set(PACKAGING_CPACK_CONFIG ${CMAKE_CURRENT_BINARY_DIR}/packaging/cpack_project_config.cmake)
file(CONFIGURE OUTPUT ${PACKAGING_CPACK_CONFIG} @ONLY CONTENT [[
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND EXISTS "@GIT_EXECUTABLE@")
    execute_process(COMMAND "@GIT_EXECUTABLE@" -C "@PROJECT_SOURCE_DIR@" log -1 --format=%ct
                    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE git_failed ERROR_QUIET TIMEOUT 30)
    if(NOT git_failed AND commit_time MATCHES "^[0-9]+$")
        set(ENV{SOURCE_DATE_EPOCH} "${commit_time}")
    endif()
endif()
]])
set(CPACK_PROJECT_CONFIG_FILE ${PACKAGING_CPACK_CONFIG})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lcdpanel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "lcdpanel developers <lcdpanel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control panel for a 480x480 one-bit serial LCD module")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PACKAGING_DIR}/description.txt)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
