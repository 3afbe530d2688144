# Installation into the standard places and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

install(TARGETS sonivar-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET sonivar)
  install(TARGETS sonivar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES data/sonivar.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/sonivar.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  install(FILES ${CMAKE_BINARY_DIR}/man/sonivar.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${CMAKE_BINARY_DIR}/man/sonivar-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${SONIVAR_DEMO_WAV} ${SONIVAR_START_WAV}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/sonivar)
install(FILES ${SONIVAR_LANGUAGE_SAMPLE} README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonivar)
set(CPACK_PACKAGE_VENDOR "Sonivar")
set(CPACK_PACKAGE_CONTACT "Sonivar developers <sonivar@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remaster WAV recordings towards a chosen timbre")
set(CPACK_PACKAGE_DESCRIPTION
  "Sonivar remasters PCM WAV recordings: noise removal by spectral subtraction, frequency and\n"
  "dynamic levelling towards a target timbre, peak fitting and normalizing. It comes as a Qt\n"
  "desktop program (sonivar) and a command-line program (sonivar-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
