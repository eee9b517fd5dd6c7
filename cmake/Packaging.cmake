# Install rules and the Debian package. `cmake --install` lays out the programs, the desktop
# entry, the icon (SVG and PNG sizes in the hicolor theme) and the catalogues; CPack's DEB
# generator packs the same tree and computes the package dependencies from the binaries.
include(GNUInstallDirs)

set(ORBIS_INSTALLED_PROGRAMS)
foreach(program orbis-utility orbis-sim orbis-cli)
  if(TARGET ${program})
    list(APPEND ORBIS_INSTALLED_PROGRAMS ${program})
  endif()
endforeach()
install(TARGETS ${ORBIS_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${CMAKE_SOURCE_DIR}/data/orbis-utility.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/orbis-utility.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The PNG sizes are drawn from the SVG at build time.
find_program(RSVG_CONVERT_PROGRAM rsvg-convert)
if(RSVG_CONVERT_PROGRAM)
  set(ICON_FILES)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/orbis-utility.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT_PROGRAM} -w ${size} -h ${size} -o ${png}
              ${CMAKE_SOURCE_DIR}/data/orbis-utility.svg
      DEPENDS ${CMAKE_SOURCE_DIR}/data/orbis-utility.svg
      VERBATIM)
    list(APPEND ICON_FILES ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(icons ALL DEPENDS ${ICON_FILES})
else()
  message(WARNING "rsvg-convert not found: only the SVG icon is installed")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbis-utility)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ORBIS")
set(CPACK_PACKAGE_CONTACT "ORBIS support <support@orbis.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for ORBIS remote I/O modules on RS-485")
set(CPACK_PACKAGE_DESCRIPTION
    "ORBIS Utility lists the serial ports of the computer, searches an RS-485 line for ORBIS
remote I/O modules (Modbus RTU or Vela) and shows the settings page of every module found,
polling its registers and writing a setting as soon as it is committed. orbis-sim serves
simulated modules on a pseudo-terminal for trying the program without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orbis.example.org")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
