# The game itself: `gallows` at the top of the build folder, beside Data/ and
# the two parts it loads at run time (the catalogue reader and the cue
# player), so that SQLCipher and Qt Multimedia are not loaded before main().
add_executable(gallows
  ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/single_instance.h
  ${CMAKE_CURRENT_SOURCE_DIR}/single_instance.cpp
)
target_compile_definitions(gallows PRIVATE
  GALLOWS_VERSION="${GALLOWS_VERSION}" GALLOWS_APP_ID="${GALLOWS_APP_ID}")
target_include_directories(gallows PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}
  ${CMAKE_CURRENT_SOURCE_DIR}/catalogue)
target_link_libraries(gallows PRIVATE gallows_ui gallows_sound_loader gallows_stats
  gallows_game Qt6::Widgets PkgConfig::FONTCONFIG)
add_dependencies(gallows gallows-catalogue-reader gallows-cue-player)
set_target_properties(gallows PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${GALLOWS_PROGRAM_DIR})
gallows_warnings(gallows)
