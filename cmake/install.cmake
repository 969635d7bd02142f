# What `cmake --install` (and so `make install` and the package) puts where: the programs in
# bin/, our colour table in share/varnel/ (where the program looks for it, relative to itself),
# the desktop entry, the icon in the hicolor theme, the AppStream metadata and the manual pages.
include(GNUInstallDirs)

set(VARNEL_APP_ID org.varnel.Varnel)
set(VARNEL_PROGRAMS varnel varnel-simulate)
if(TARGET varnel-import)
  list(APPEND VARNEL_PROGRAMS varnel-import)
endif()
if(TARGET varnel-idealise)
  list(APPEND VARNEL_PROGRAMS varnel-idealise)
endif()

install(TARGETS ${VARNEL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/res/shrcol.tbl DESTINATION ${CMAKE_INSTALL_DATADIR}/varnel)

install(FILES ${CMAKE_SOURCE_DIR}/res/desktop/${VARNEL_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
set(VARNEL_PROVIDED_BINARIES "")
foreach(program ${VARNEL_PROGRAMS})
  string(APPEND VARNEL_PROVIDED_BINARIES "    <binary>${program}</binary>\n")
endforeach()
configure_file(${CMAKE_SOURCE_DIR}/res/desktop/${VARNEL_APP_ID}.metainfo.xml
  ${CMAKE_BINARY_DIR}/share/${VARNEL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/share/${VARNEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/res/icons/${size}x${size}/varnel.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/res/icons/varnel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

foreach(program ${VARNEL_PROGRAMS})
  configure_file(${CMAKE_SOURCE_DIR}/docs/man/${program}.1 ${CMAKE_BINARY_DIR}/share/man/${program}.1 @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/share/man/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The guide with its pictures, where its links find them.
set(VARNEL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/varnel)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/guide.md ${CMAKE_SOURCE_DIR}/docs/window.png
  DESTINATION ${VARNEL_DOC_DIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/guide/ DESTINATION ${VARNEL_DOC_DIR}/guide FILES_MATCHING PATTERN "*.png")
