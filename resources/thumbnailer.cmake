# File-manager previews of G-code files, drawn by gcode-render at the size asked for.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tolvan-gcode.thumbnailer
        DESTINATION ${CMAKE_INSTALL_DATADIR}/thumbnailers)
