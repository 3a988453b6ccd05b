# Installation and the Debian package.
#   cmake --install build [--prefix DIR]   program, desktop entry, icons, man pages
#   cd build && cpack                       zbir_<version>_<arch>.deb
include(GNUInstallDirs)

install(TARGETS zbir RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/schemas/ DESTINATION ${CMAKE_INSTALL_DATADIR}/zbir/schemas)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/zbir.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 48 64 128)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/zbir-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME zbir.png)
endforeach()

# Man pages, English and Polish, with the version filled in and compressed.
find_program(ZBIR_GZIP gzip REQUIRED)
set(ZBIR_MAN_PAGES)
foreach(page zbir.1 zbir.pl.1)
  configure_file(${CMAKE_SOURCE_DIR}/docs/${page} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
    COMMAND sh -c "'${ZBIR_GZIP}' -9n -c '${CMAKE_BINARY_DIR}/man/${page}' > '${CMAKE_BINARY_DIR}/man/${page}.gz'"
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}
    COMMENT "Compressing the man page ${page}" VERBATIM)
  list(APPEND ZBIR_MAN_PAGES ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(zbir_man ALL DEPENDS ${ZBIR_MAN_PAGES})
install(FILES ${CMAKE_BINARY_DIR}/man/zbir.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/man/zbir.pl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/pl/man1 RENAME zbir.1.gz)

# Makes packaging/zbir-*.png from the program's picture (scripts/make-icon.sh).
if(ZBIR_BUILD_GUI)
  add_executable(zbir_icon EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tools/make_icon.cpp)
  target_link_libraries(zbir_icon PRIVATE zbir_core Qt6::Gui)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zbir)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "ZBIR maintainers <maintainers@users.noreply.c-seed-86dd3ae6.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "integrator of Polish JPK audit files")
set(CPACK_PACKAGE_DESCRIPTION
  "ZBIR lays the JPK XML files of a month (JPK_VAT, JPK_KR, JPK_FA and the others)\n"
  "out in a workbook, one sheet per file behind a summary sheet, and builds the\n"
  "combined JPK_VAT(2) file from that workbook. It runs as a window or from the\n"
  "command line (zbir transport, zbir jpk).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Library packages come from dpkg-shlibdeps; the window also needs Qt's
# platform plugins, which no library links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(ZBIR_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  # The spreadsheet window's cell font; without it the window scales another.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-crosextra-carlito")
endif()
include(CPack)
