# What `cmake --install` puts on a machine, and the Debian package built
# from it with `cpack -G DEB`:
#   bin/H452, bin/h452-analyze, h452-record  the console, the offline analyser
#                                         and the command-line recorder
#   lib/libKelPcieApi.so, libLomPcieDmaDll.so   the device library and the
#                                         emulated board it drives without one
#   include/KelPcieApi.h, LomPcieDmaDll.h the public header and the driver
#                                         header it includes for its types
#   share/applications/h452.desktop, share/icons/.../h452.svg
# Tests, benchmarks and the build-time image generator are not installed.
# The programs carry an RPATH of $ORIGIN/../lib (set where the targets are
# made), so an install under any prefix finds its own libraries first.
install(TARGETS H452 h452-analyze h452-record RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS KelPcieApi LomPcieDmaDll LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${CMAKE_SOURCE_DIR}/devapi/KelPcieApi.h ${CMAKE_SOURCE_DIR}/devapi/LomPcieDmaDll.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${CMAKE_SOURCE_DIR}/app/h452.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/app/icons/h452.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The Debian package (installed under /usr). Library dependencies come from
# dpkg-shlibdeps, which reads what the binaries link (Qt 5 Widgets and
# Charts, FFTW, the C++ runtime); the Chinese interface also needs a CJK
# font, which no binary links, so it is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME h452)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "H452 console team <h452-console@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "H452 oscilloscope console, device library and emulated board")
set(CPACK_PACKAGE_DESCRIPTION
  "Desktop console for the H452 four-channel digitizer: time traces, measurements, spectrum, frequency response, constellation and eye diagram, recording and replay of sample files, and an offline analyser. Runs on simulated signals when no board is present.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
include(CPack)
