include(GNUInstallDirs)
install(TARGETS zorvik-halden RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Desktop integration: the menu entry and the scalable icon it names.
install(FILES ${PROJECT_SOURCE_DIR}/res/zorvik-halden.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/res/art/zorvik-halden.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The demo library with the help file, to copy beside wherever the program is started from
# (it reads and writes "zorvik/" in the current directory).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/demo/zorvik
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zorvik-halden/demo
        PATTERN ".gitkeep" EXCLUDE)

set(CPACK_PACKAGE_NAME "zorvik-halden")
set(CPACK_PACKAGE_VENDOR "Zorvik Halden developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Editor and librarian for the Zorvik MIDI controllers")
set(CPACK_PACKAGE_CONTACT "zorvik-halden@localhost")
set(CPACK_GENERATOR "DEB")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
