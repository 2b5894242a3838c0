# cmake --install lays the bundle out as an installed copy, TAVRINK_INSTALL_BUNDLE_DIR
# (/opt/Tavrink.app), with what the desktop looks for under the prefix: bin/tavrink as a link,
# the desktop entry, the D-Bus service file, the hicolor icon, the AppStream metainfo and the
# man page. CPack makes the Debian package of it (scripts/package).
include(GNUInstallDirs)
set(TAVRINK_INSTALL_BUNDLE_DIR "/opt/Tavrink.app" CACHE PATH "Where cmake --install puts the bundle")
set(TAVRINK_DISTRIBUTION "" CACHE STRING
    "Who owns an installed copy; deb: the package manager, and the copy never replaces itself")

set(staging "${CMAKE_BINARY_DIR}/install")
set(TAVRINK_DISTRIBUTION_ENTRY "")
if(TAVRINK_DISTRIBUTION)
    set(TAVRINK_DISTRIBUTION_ENTRY ",\n    \"TavrinkDistribution\": \"${TAVRINK_DISTRIBUTION}\"")
endif()
configure_file("${PROJECT_SOURCE_DIR}/resources/Info.json.in" "${staging}/Info.json" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/resources/metainfo/com.kelvandrosi.Tavrink.metainfo.xml"
    "${staging}/com.kelvandrosi.Tavrink.metainfo.xml" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/resources/debian/changelog" "${staging}/changelog" @ONLY)
file(WRITE "${staging}/com.kelvandrosi.Tavrink.service"
    "[D-BUS Service]\nName=com.kelvandrosi.Tavrink\nExec=${CMAKE_INSTALL_FULL_BINDIR}/tavrink\n")
file(CREATE_LINK "${TAVRINK_INSTALL_BUNDLE_DIR}/bin/tavrink" "${staging}/tavrink" SYMBOLIC)

# Debian wants man pages and changelogs compressed, reproducibly.
find_program(GZIP gzip REQUIRED)
add_custom_command(OUTPUT "${staging}/tavrink.1.gz" "${staging}/changelog.gz"
    COMMAND "${GZIP}" -9nc "${PROJECT_SOURCE_DIR}/resources/man/tavrink.1" > "${staging}/tavrink.1.gz"
    COMMAND "${GZIP}" -9nc "${staging}/changelog" > "${staging}/changelog.gz"
    DEPENDS "${PROJECT_SOURCE_DIR}/resources/man/tavrink.1" "${staging}/changelog")
add_custom_target(tavrink_install_files ALL DEPENDS "${staging}/tavrink.1.gz" "${staging}/changelog.gz")

set(component COMPONENT application)
install(TARGETS tavrink RUNTIME DESTINATION "${TAVRINK_INSTALL_BUNDLE_DIR}/bin" ${component})
install(TARGETS tavrink-panel LIBRARY DESTINATION "${TAVRINK_INSTALL_BUNDLE_DIR}/lib" ${component})
install(TARGETS tavrink-update-helper RUNTIME DESTINATION "${TAVRINK_INSTALL_BUNDLE_DIR}/libexec" ${component})
install(FILES "${staging}/Info.json" DESTINATION "${TAVRINK_INSTALL_BUNDLE_DIR}" ${component})
install(DIRECTORY "${PROJECT_SOURCE_DIR}/resources/share/" DESTINATION "${TAVRINK_INSTALL_BUNDLE_DIR}/share"
    ${component})
install(FILES "${PROJECT_SOURCE_DIR}/resources/share/com.kelvandrosi.Tavrink.png"
    DESTINATION "${TAVRINK_INSTALL_BUNDLE_DIR}/share/icons/hicolor/256x256/apps" ${component})
install(FILES "${staging}/tavrink" DESTINATION "${CMAKE_INSTALL_BINDIR}" ${component})
install(FILES "${PROJECT_SOURCE_DIR}/resources/share/applications/com.kelvandrosi.Tavrink.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications" ${component})
install(FILES "${staging}/com.kelvandrosi.Tavrink.service" DESTINATION "${CMAKE_INSTALL_DATADIR}/dbus-1/services"
    ${component})
install(FILES "${PROJECT_SOURCE_DIR}/resources/share/com.kelvandrosi.Tavrink.png"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps" ${component})
# In the system's icon theme, Plasma draws the panel icon in its panel's colours in every look.
install(FILES "${PROJECT_SOURCE_DIR}/resources/share/icons/hicolor/scalable/status/tavrink-symbolic.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/status" ${component})
install(FILES "${staging}/com.kelvandrosi.Tavrink.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo"
    ${component})
install(FILES "${staging}/tavrink.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" ${component})
install(FILES "${PROJECT_SOURCE_DIR}/resources/debian/copyright" "${staging}/changelog.gz"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/tavrink" ${component})
install(FILES "${PROJECT_SOURCE_DIR}/resources/debian/lintian-overrides" RENAME tavrink
    DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" ${component})

# One package of the application alone; the maker's tools stay out of it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrink)
set(CPACK_PACKAGE_VENDOR Kelvandrosi)
set(CPACK_PACKAGE_CONTACT "Kelvandrosi <tavrink@kelvandrosi.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hostname and network addresses in the desktop panel")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tavrink shows the computer's hostname in the panel; its menu lists the\npublic IPv4 address, the Tailscale addresses and each local interface's\naddress, and choosing one copies it.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kelvandrosi.com/tavrink/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Copying on Wayland, the Qt platform of a session without XWayland, the desktop entry cache.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "wl-clipboard, qt6-wayland, desktop-file-utils")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};application;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX "${CMAKE_BINARY_DIR}")
include(CPack)
