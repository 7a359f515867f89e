# Background music, clips and volume of the main window, on the headless backend with the scripted
# browser engine and media devices.
tome_add_test(viewer_music_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/main_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/music_test.cpp
  LIBS tome_viewer tome_headless tome_web_fake tome_media_fake)
target_compile_definitions(viewer_music_tests PRIVATE TOME_TEST_RESOURCES="${CMAKE_SOURCE_DIR}/resources")
