include(GNUInstallDirs)
# The editor, the command line and the simulated instrument, each with its manual page.
install(TARGETS zorvik-halden zorvikctl zorvik-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/man/zorvik-halden.1 ${PROJECT_SOURCE_DIR}/man/zorvikctl.1
              ${PROJECT_SOURCE_DIR}/man/zorvik-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Desktop integration: the menu entry and the scalable icon it names.
install(FILES ${PROJECT_SOURCE_DIR}/res/zorvik-halden.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/res/art/zorvik-halden.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Access to a Zorvik USB instrument for the user at the seat, for the USB link (udev reads
# /usr/lib/udev/rules.d; the rule sorts before the seat rules that act on uaccess).
install(FILES ${PROJECT_SOURCE_DIR}/res/udev/70-zorvik-halden.rules DESTINATION lib/udev/rules.d)
# The demo library with the help page, as the program's first start copies it into the user's
# library (the program carries its own copy; this one is for reading and copying by hand).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/demo/zorvik
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zorvik-halden/demo
        PATTERN ".gitkeep" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zorvik-halden)

set(CPACK_PACKAGE_NAME "zorvik-halden")
set(CPACK_PACKAGE_VENDOR "Zorvik Halden developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor and librarian for the Zorvik MIDI controllers")
set(CPACK_PACKAGE_CONTACT "zorvik-halden@localhost")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR "DEB")
# Libraries the binaries link are found by dpkg-shlibdeps; the platform plugin is loaded at run
# time, so it is named by hand. The sound font and the desktop's opener are welcome, not needed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "timgm6mb-soundfont | fluid-soundfont-gm, xdg-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The build keeps its debugging information; the package does not need it.
set(CPACK_STRIP_FILES ON)
include(CPack)
