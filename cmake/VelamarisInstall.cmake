# Installation on a Linux desktop, relative to the prefix given at install
# time (cmake --install build --prefix DIR), and the Debian package made from
# the same rules (cpack -G DEB). Everything belongs to the component
# "velamaris", so that an install of it alone (the tests make one) keeps its
# own manifest and leaves the user's install_manifest.txt alone.
#
#   <prefix>/libexec/velamaris/   the programs and the tools they start from their own folder
#   <prefix>/bin/                 links to the programs a user starts
#   <prefix>/share/applications/  Tidemart's entry, the handler of "velscheme" URLs
#   <prefix>/share/icons/         the icon
#   <prefix>/etc/xdg/autostart/   the card watcher's entry (/etc/xdg/autostart for the prefix /usr)
include(GNUInstallDirs)

set(VELAMARIS_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/velamaris)
# Sondump and Wakeform stand in for the outside tools that Sondrak and the
# store client start from their own folder. The updater stand-in is not
# carried: an installed copy is updated by its package.
install(TARGETS Tidemart VelamarisChecker Sondrak Sondump Wakeform tidemart-update
  RUNTIME DESTINATION ${VELAMARIS_PROGRAM_DIR} COMPONENT velamaris)

# Relative links keep the tree movable; the programs find their folder
# through the link (the kernel names the real executable).
file(RELATIVE_PATH programs_from_bin /p/${CMAKE_INSTALL_BINDIR} /p/${VELAMARIS_PROGRAM_DIR})
set(link_dir ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${link_dir})
set(links)
foreach(program Tidemart VelamarisChecker Sondrak tidemart-update)
  file(CREATE_LINK ${programs_from_bin}/${program} ${link_dir}/${program} SYMBOLIC)
  list(APPEND links ${link_dir}/${program})
endforeach()
install(FILES ${links} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT velamaris)

install(FILES ${CMAKE_SOURCE_DIR}/core/images/air-icon.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps RENAME velamaris-tidemart.png
  COMPONENT velamaris)

# The desktop entries name the programs by absolute path, which is known
# only at install time.
install(CODE "
  set(VELAMARIS_ENTRY_SOURCE_DIR \"${CMAKE_SOURCE_DIR}/dist/linux\")
  set(VELAMARIS_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(VELAMARIS_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/InstallDesktopEntries.cmake\")
" COMPONENT velamaris)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velamaris-tidemart)
set(CPACK_PACKAGE_VENDOR Velamaris)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velamaris <support@${TIDEMART_ORG_DOMAIN}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Marine chart store client and chart card watcher")
set(CPACK_PACKAGE_DESCRIPTION "Velamaris Tidemart shows the chart vendor's store and installs the charts
bought there on the chart card of a boat's plotter. The card watcher starts
it when a chart card is inserted.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Libraries from what the programs link; xdg-open hands the card watcher's
# URL to the store client.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
# The autostart entry lies in /etc: an administrator's change of it survives
# updates, and it goes with a purge.
file(WRITE ${CMAKE_BINARY_DIR}/deb-control/conffiles "/etc/xdg/autostart/velamaris-checker.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/deb-control/conffiles)
include(CPack)
