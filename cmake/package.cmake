# `make package`: a Debian package made by CPack from the install rules. The libraries the
# programs link are found by dpkg-shlibdeps; Qt's platform plugins are loaded at run time,
# which no link shows, so they are named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnel)
# The whole project version, as --version says it (CPack would take its first three numbers).
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Varnel)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "kinetic rates from transitions between states of single-molecule signals")
set(CPACK_PACKAGE_DESCRIPTION
  "Varnel reads transition reports of single molecules, draws a density map of their transitions,\n"
  "sorts them into state-to-state classes between cutoffs and fits each class's rates to a\n"
  "kinetic rate with a bootstrap interval. The window's every action is recorded as a script\n"
  "that replays without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Varnel developers <varnel@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Named by hand: the Qt platform plugins (no link shows them), and a font for the figures' text
# (Cairo finds it through fontconfig).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
# The Python module is for one interpreter, and its arrays are numpy's; the programs need neither.
if(VARNEL_BUILD_PYTHON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${VARNEL_PYTHON_RECOMMENDS}")
endif()
set(CPACK_STRIP_FILES ON)
include(CPack)
