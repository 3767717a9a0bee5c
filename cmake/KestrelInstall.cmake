# Installation (cmake --install) and the Debian package (cpack -G DEB).
#
# Programs go to bin, the menu entry and its icon where desktops look for them, and the
# read-only data to share/kestrel. That data folder beside bin is also how an
# installed program tells that its own folder is not the place for the files it writes
# (src/app/file_util.h): those go to the operator's per-user folder.
install(TARGETS kestrel-cli kestrel-devsim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrel)
if(KESTREL_BUILD_GUI)
  install(TARGETS kestrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/data/kestrel.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/kestrel.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kestrel")
set(CPACK_PACKAGE_CONTACT "Kestrel maintainers <kestrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Production and service station for network cameras and smart-home gateways")
set(CPACK_PACKAGE_DESCRIPTION
    "Finds every device on every local IPv4 network, lists them and drives them. Ships the
station window (kestrel), the headless station (kestrel-cli) and a device simulator
(kestrel-devsim).")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# The dependencies are the Debian packages of the libraries the programs link
# (dpkg-shlibdeps), so that apt-get brings in Qt and the codecs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The translated texts need a font with Chinese characters.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei")
if(WIN32)
  # The Windows programs travel as a zip, kestrel-<version>-win64.zip, holding bin/
  # and share/ at its top.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_PACKAGING_INSTALL_PREFIX "")
  set(CPACK_STRIP_FILES OFF)
endif()
include(CPack)
