# What is installed, and the Debian package made of it by CPack (cpack -G DEB in the build tree).
include(GNUInstallDirs)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/skin ${PROJECT_SOURCE_DIR}/data/help
        DESTINATION ${CMAKE_INSTALL_DATADIR}/chimeon)
install(FILES ${PROJECT_SOURCE_DIR}/data/Larkworks.gif DESTINATION ${CMAKE_INSTALL_DATADIR}/chimeon)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/chimeon.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/src/ui/resources/icons/chimeon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/data/desktop/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/chimeon)
# Debian wants the change log of a package compressed beside its copyright.
set(changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -n -9 -c ${PROJECT_SOURCE_DIR}/data/desktop/changelog > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/data/desktop/changelog)
add_custom_target(chimeon_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/chimeon)

set(CPACK_PACKAGE_NAME chimeon)
set(CPACK_PACKAGE_VENDOR "Chimeon")
set(CPACK_PACKAGE_CONTACT "Chimeon developers <chimeon@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unattended broadcast scheduler for public-address systems")
set(CPACK_PACKAGE_DESCRIPTION "Chimeon plays bells, music, announcements and video on the public-address\n\
system of a school, a factory or an office at the exact second an operator laid\n\
down, from weekly tables, templates and a holiday calendar, unattended for\n\
months. It also records announcements, shows MP3 file information and powers\n\
the PC off at a set time. chimeonctl, its administrator's command line,\n\
checks the tables and reads the play history; chimeond broadcasts without a\n\
window, as a systemd user service that starts at boot.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
# Libraries the binaries link are found by dpkg-shlibdeps; the plugins and data they load at run
# time are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6svg6, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-pulseaudio | gstreamer1.0-alsa, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "gstreamer1.0-plugins-bad, gstreamer1.0-libav, gstreamer1.0-plugins-ugly, timgm6mb-soundfont, libasound2-plugins, qt6-translations-l10n, gstreamer1.0-alsa")
include(CPack)
