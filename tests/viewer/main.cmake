# The main window: start-up, registry values, chrome, closing, navigation and skin buttons, on the
# headless backend with the scripted browser engine.
tome_add_test(viewer_main_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/main_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_start_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_navigate_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_buttons_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_search_test.cpp
  LIBS tome_viewer tome_headless tome_web_fake tome_media_fake)
target_compile_definitions(viewer_main_tests PRIVATE TOME_TEST_RESOURCES="${CMAKE_SOURCE_DIR}/resources")

if(TOME_GUI)
  include(${CMAKE_CURRENT_LIST_DIR}/gui/viewer_gui.cmake)
endif()
