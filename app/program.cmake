# The game itself: `gallows` at the top of the build folder, beside Data/ and
# the two plugins it loads at run time (the catalogue reader and the cue
# player), so that SQLCipher and Qt Multimedia are not loaded before main().
qt_add_executable(gallows
  ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/startup.h
  ${CMAKE_CURRENT_SOURCE_DIR}/startup_milestones.h
  ${CMAKE_CURRENT_SOURCE_DIR}/startup.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/command_line.h
  ${CMAKE_CURRENT_SOURCE_DIR}/command_line.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/single_instance.h
  ${CMAKE_CURRENT_SOURCE_DIR}/single_instance.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/paths.h
  ${CMAKE_CURRENT_SOURCE_DIR}/paths.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/std_random.h
  ${CMAKE_CURRENT_SOURCE_DIR}/deferred_cue_player.h
  ${CMAKE_CURRENT_SOURCE_DIR}/deferred_cue_player.cpp
)
target_compile_definitions(gallows PRIVATE
  GALLOWS_VERSION="${GALLOWS_VERSION}" GALLOWS_APP_ID="${GALLOWS_APP_ID}")
# The installed program finds its plugins here, relative to its own folder.
target_compile_definitions(gallows PRIVATE GALLOWS_PARTS_FROM_PROGRAM="../${GALLOWS_PARTS_INSTALL_DIR}")
target_link_libraries(gallows PRIVATE gallows_ui gallows_stats
  gallows_game Qt6::Widgets)
add_dependencies(gallows gallows-catalogue-reader gallows-cue-player)
set_target_properties(gallows PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${GALLOWS_PROGRAM_DIR})
gallows_warnings(gallows)
