# Where an installed thwacko lands on a Linux desktop, and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

# The menu entry, the software-centre listing and the license.
install(FILES ${PROJECT_SOURCE_DIR}/data/thwacko.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${PROJECT_SOURCE_DIR}/data/thwacko.metainfo.xml.in thwacko.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/thwacko.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)

# The application icon: the drawing itself, and PNG renderings of it where rsvg-convert exists.
set(THWACKO_ICON ${PROJECT_SOURCE_DIR}/data/thwacko.svg)
install(FILES ${THWACKO_ICON} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
find_program(THWACKO_RSVG_CONVERT rsvg-convert)
if(THWACKO_RSVG_CONVERT)
  set(THWACKO_ICON_PNGS)
  foreach(size 48 128)
    set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/thwacko.png)
    add_custom_command(
      OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory icons/${size}x${size}
      COMMAND ${THWACKO_RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${THWACKO_ICON}
      DEPENDS ${THWACKO_ICON}
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
      VERBATIM)
    list(APPEND THWACKO_ICON_PNGS ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(thwacko_icons ALL DEPENDS ${THWACKO_ICON_PNGS})
else()
  message(STATUS "rsvg-convert not found: only the scalable application icon is installed")
endif()

# The udev rule of the sensor (data/70-thwacko-sensor.rules.in). udev reads /etc/udev/rules.d
# and /usr/lib/udev/rules.d only, so the directory is outside the prefix: /etc for an install
# from source, the distribution's /usr/lib for the package (set by cpack below). The rule names
# thwacko-sensor-id by its installed path, and `cmake --install --prefix` and cpack choose the
# prefix only when installing, so the rule is written then, straight to its destination.
set(THWACKO_UDEV_RULES_DIR "/etc/udev/rules.d" CACHE PATH "Where the udev rule is installed")
install(CODE "
  set(thwacko_rule_template \"${PROJECT_SOURCE_DIR}/data/70-thwacko-sensor.rules.in\")
  set(thwacko_libexec_dir \"${CMAKE_INSTALL_LIBEXECDIR}\")
  if(NOT DEFINED THWACKO_UDEV_RULES_DIR)
    set(THWACKO_UDEV_RULES_DIR \"${THWACKO_UDEV_RULES_DIR}\")
  endif()
")
install(CODE [[
  cmake_path(ABSOLUTE_PATH thwacko_libexec_dir BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}")
  cmake_path(ABSOLUTE_PATH THWACKO_UDEV_RULES_DIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}"
             OUTPUT_VARIABLE thwacko_rules_dir)
  set(THWACKO_SENSOR_ID "${thwacko_libexec_dir}/thwacko-sensor-id")
  set(thwacko_rule "${thwacko_rules_dir}/70-thwacko-sensor.rules")
  message(STATUS "Installing: $ENV{DESTDIR}${thwacko_rule}")
  configure_file("${thwacko_rule_template}" "$ENV{DESTDIR}${thwacko_rule}" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${thwacko_rule}")
]])

# The Debian package: everything above under /usr, dependencies from dpkg-shlibdeps plus the
# QML modules the panel loads (its imports and what the Controls style pulls in), which
# dpkg-shlibdeps cannot see; scripts/package-check.sh checks the list against a run. The Inter
# faces and Wayland support are wanted, not needed.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME thwacko)
set(CPACK_PACKAGE_CONTACT "the thwacko developers <${THWACKO_FEEDBACK_ADDRESS}>")
set(CPACK_PACKAGE_HOMEPAGE_URL ${THWACKO_HOME_PAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "laptop drum kit: play drums by tapping your laptop")
set(CPACK_PACKAGE_DESCRIPTION
    "thwacko turns a laptop into a drum kit. Knocks and slaps on the case, picked up by the
built-in accelerometer, become drum hits, played by its own synthesiser or sent as MIDI notes
to other music software. It lives in the system tray.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_CUSTOM_INSTALL_VARIABLES "THWACKO_UDEV_RULES_DIR=/usr/lib/udev/rules.d")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-window, qml6-module-qtquick-controls, \
qml6-module-qtquick-templates, qml6-module-qtquick-shapes, qml6-module-qtqml-workerscript")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-inter, qt6-wayland")
# thwacko-sensors --record describes the sensors with umockdev-record for a bug report.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "umockdev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/data/deb/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
