# The settings dialog and the list and check-box controls it is built from, on the headless backend
# with the viewer's fixture (fake browser and media, scripted dialogs, a registry file per test).
tome_add_test(viewer_settings_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/main_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_controls_test.cpp
  LIBS tome_viewer tome_headless tome_web_fake tome_media_fake)
target_compile_definitions(viewer_settings_tests PRIVATE TOME_TEST_RESOURCES="${CMAKE_SOURCE_DIR}/resources")

# The same controls with their native widgets under X.
if(TOME_GUI)
  tome_add_test(viewer_settings_gui_tests
    SOURCES
      ${CMAKE_SOURCE_DIR}/tests/gui/gui_env.cpp
      ${CMAKE_CURRENT_LIST_DIR}/settings_gui_test.cpp
    LIBS tome_forms tome_gtk tome_web
    LABELS gui)
endif()
