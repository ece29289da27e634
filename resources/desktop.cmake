# Installs the application icon, the desktop entry and the G-code MIME type where desktop
# environments look for them.
foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/icons/tolvan-gcode-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME tolvan-gcode.png)
endforeach()
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/tolvan-gcode.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/tolvan-gcode-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME tolvan-gcode.xml)
