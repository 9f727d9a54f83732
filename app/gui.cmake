# The Qt program: library pelmora_gui (every source of app/ but the entry point main.cpp),
# the executable pelmora in the runtime folder, the generated pictures
# (HAND-M.CUR beside the executable, icons) and the install rules.

file(GLOB gui_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
list(REMOVE_ITEM gui_sources ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
add_library(pelmora_gui STATIC ${gui_sources})
target_include_directories(pelmora_gui PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(pelmora_gui PUBLIC pelmora_widgets pelmora_preview pelmora_engine pelmora_qtui pelmora_db pelmora_report
                      pelmora_ado Qt6::Widgets fmt::fmt)

# Draws the hand pointer and the icons at build time; nothing pictorial is stored.
add_executable(pelmora_make_assets ${CMAKE_CURRENT_SOURCE_DIR}/resources/make_assets.cpp)
target_link_libraries(pelmora_make_assets PRIVATE pelmora_gui)
set_target_properties(pelmora_make_assets PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
set(pelmora_icon_dir ${CMAKE_CURRENT_BINARY_DIR}/icons)
set(pelmora_icon_sizes 16 32 48 64 128 256)
set(pelmora_icon_files)
foreach(size ${pelmora_icon_sizes})
  list(APPEND pelmora_icon_files ${pelmora_icon_dir}/pelmora-${size}.png)
endforeach()
add_custom_command(
  OUTPUT ${PELMORA_RUNTIME_DIR}/HAND-M.CUR ${pelmora_icon_files}
  COMMAND pelmora_make_assets ${PELMORA_RUNTIME_DIR}/HAND-M.CUR ${pelmora_icon_dir} ${pelmora_icon_sizes}
  DEPENDS pelmora_make_assets
  COMMENT "Drawing the hand pointer and the icons")
add_custom_target(pelmora_assets DEPENDS ${PELMORA_RUNTIME_DIR}/HAND-M.CUR ${pelmora_icon_files})

# The program: the main window joined to the conversion run and the preview windows.
add_executable(pelmora ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
target_link_libraries(pelmora PRIVATE pelmora_gui)
add_dependencies(pelmora pelmora_assets)

# Installed layout: lib/pelmora/{pelmora, HAND-M.CUR, Samples/}, a launcher on
# bin/, the desktop entry and the icon.
install(TARGETS pelmora RUNTIME DESTINATION ${PELMORA_INSTALL_DIR})
install(FILES ${PELMORA_RUNTIME_DIR}/HAND-M.CUR DESTINATION ${PELMORA_INSTALL_DIR})
file(RELATIVE_PATH pelmora_launcher_target /${CMAKE_INSTALL_BINDIR} /${PELMORA_INSTALL_DIR}/pelmora)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/resources/pelmora.sh.in ${CMAKE_CURRENT_BINARY_DIR}/pelmora.sh @ONLY)
install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/pelmora.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME pelmora)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/pelmora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/resources/pelmora.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size ${pelmora_icon_sizes})
  install(FILES ${pelmora_icon_dir}/pelmora-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME pelmora.png)
endforeach()
