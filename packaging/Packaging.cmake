# Install rules and the Debian package (CPack DEB):
#   cmake --build build --target package  ->  korvantix-control_<version>_<arch>.deb
# The version is project(VERSION) of the top CMakeLists.txt.
include(GNUInstallDirs)

find_program(KTX_RSVG_CONVERT rsvg-convert)
find_program(KTX_GZIP gzip)
if(NOT KTX_RSVG_CONVERT OR NOT KTX_GZIP)
  message(STATUS "No Debian package: rsvg-convert or gzip missing (scripts/install-deps.sh installs them)")
  return()
endif()

set(KTX_PACKAGE korvantix-control)
set(KTX_PACKAGE_PREFIX /usr)
set(KTX_MAINTAINER "Korvantix LLC <support@korvantix.example>")
set(KTX_APPSTREAM_ID example.korvantix.control)
# The date of this version's release, in the two forms the files need.
set(KTX_RELEASE_DATE 2026-12-10)
set(KTX_RELEASE_DATE_RFC2822 "Thu, 10 Dec 2026 12:00:00 +0000")
set(KTX_LAUNCHER_DIR ${CMAKE_INSTALL_LIBEXECDIR}/${KTX_PACKAGE})
set(KTX_LAUNCHER ${KTX_PACKAGE_PREFIX}/${KTX_LAUNCHER_DIR}/${KTX_PACKAGE}-desktop)
set(KTX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${KTX_PACKAGE})
set(KTX_ICON_SIZES 16 22 24 32 48 64 128 256)

set(src ${CMAKE_SOURCE_DIR}/packaging)
set(gen ${CMAKE_BINARY_DIR}/packaging)
configure_file(${src}/${KTX_PACKAGE}.desktop.in ${gen}/${KTX_PACKAGE}.desktop @ONLY)
configure_file(${src}/${KTX_PACKAGE}.metainfo.xml.in ${gen}/${KTX_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(${src}/${KTX_PACKAGE}.1.in ${gen}/${KTX_PACKAGE}.1 @ONLY)
configure_file(${src}/korvantix-check.1.in ${gen}/korvantix-check.1 @ONLY)
configure_file(${src}/changelog.in ${gen}/changelog @ONLY)

# Debian wants manual pages and changelogs compressed, without a time stamp.
set(KTX_PACKAGE_OUTPUTS)
foreach(doc ${KTX_PACKAGE}.1 korvantix-check.1 changelog)
  add_custom_command(OUTPUT ${gen}/${doc}.gz
    COMMAND ${KTX_GZIP} -9nc ${gen}/${doc} > ${gen}/${doc}.gz
    DEPENDS ${gen}/${doc} VERBATIM)
  list(APPEND KTX_PACKAGE_OUTPUTS ${gen}/${doc}.gz)
endforeach()
foreach(size ${KTX_ICON_SIZES})
  set(png ${gen}/icons/${size}x${size}/${KTX_PACKAGE}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${gen}/icons/${size}x${size}
    COMMAND ${KTX_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${src}/${KTX_PACKAGE}.svg
    DEPENDS ${src}/${KTX_PACKAGE}.svg VERBATIM)
  list(APPEND KTX_PACKAGE_OUTPUTS ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
# The line check's built-in profile, as the program prints it.
add_custom_command(OUTPUT ${gen}/check-profile.json
  COMMAND korvantix-check --print-profile > ${gen}/check-profile.json
  DEPENDS korvantix-check VERBATIM)
list(APPEND KTX_PACKAGE_OUTPUTS ${gen}/check-profile.json)
add_custom_target(ktx_package_files ALL DEPENDS ${KTX_PACKAGE_OUTPUTS})

# The shipped program is hardened as Debian builds are: checked string and
# memory functions (optimised builds only) and a read-only, eagerly bound
# relocation table.
if(NOT KTX_SANITIZE)
  foreach(target ${KTX_LIBRARIES} korvantix-control korvantix-check)
    target_compile_options(${target} PRIVATE "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  endforeach()
  target_link_options(korvantix-control PRIVATE -Wl,-z,relro -Wl,-z,now)
  target_link_options(korvantix-check PRIVATE -Wl,-z,relro -Wl,-z,now)
endif()

install(TARGETS korvantix-control korvantix-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${src}/${KTX_PACKAGE}-desktop DESTINATION ${KTX_LAUNCHER_DIR})
install(FILES ${gen}/${KTX_PACKAGE}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${src}/${KTX_PACKAGE}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${gen}/${KTX_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${gen}/${KTX_PACKAGE}.1.gz ${gen}/korvantix-check.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The line check's default profile and the JSON Schemas of a profile and a record.
install(FILES ${gen}/check-profile.json ${CMAKE_SOURCE_DIR}/schema/check-profile.schema.json
  ${CMAKE_SOURCE_DIR}/schema/check-record.schema.json DESTINATION ${CMAKE_INSTALL_DATADIR}/korvantix)
install(FILES ${src}/korvantix-check.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME korvantix-check)
install(FILES ${src}/99-korvantix-ftdi.rules DESTINATION lib/udev/rules.d)
install(FILES ${gen}/changelog.gz ${src}/copyright DESTINATION ${KTX_DOC_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/sim/scenarios/default.json ${CMAKE_SOURCE_DIR}/sim/scenarios/flaky.json
  DESTINATION ${KTX_DOC_DIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${KTX_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${KTX_PACKAGE_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test console for Korvantix GPS/GLONASS vehicle trackers")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"A technician plugs one Korvantix tracker into the PC by USB (an FTDI
USB-serial chip, opened through libftdi) and checks every area of it on nine
tabs: supply, inputs, outputs and counters; the GSM modem; the GNSS receiver
and clock; 1-Wire sensors; RS-485 fuel level sensors; CAN/J1939 vehicle data;
the accelerometer; the modem firmware update. A built-in simulated tracker
lets the console be tried without a device. The user interface is Russian.
.
korvantix-check runs a test profile on one tracker without a window and
keeps its record as JSON, an HTML report and JUnit XML, for production
lines.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KTX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://korvantix.example)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs and menus (file dialog, edit menus) in the user's
# language, and ALSA, which the beeper loads with its first tone: no library
# links them, so shlibdeps can't find them; nor SOCI's two back ends, which
# the results database loads by name.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-translations-l10n, libasound2 (>= 1.0.16), libsoci-sqlite3-4.0, libsoci-postgresql4.0")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${src}/postinst ${src}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# The package's contents, control fields and dependencies, checked with
# dpkg-deb (not installed). A sanitizer build is not packaged.
find_program(KTX_DPKG_DEB dpkg-deb)
if(BUILD_TESTING AND KTX_DPKG_DEB AND NOT KTX_SANITIZE)
  add_test(NAME DebianPackage
    COMMAND ${CMAKE_SOURCE_DIR}/tests/packaging/check-deb.sh ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
  set_tests_properties(DebianPackage PROPERTIES TIMEOUT 600 RUN_SERIAL ON)
endif()
