# Skin configuration, picture file, layout, templates and skin loading.
tome_add_test(viewer_skin_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/skin_ncf_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/skin_face_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/skin_rules_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/skin_fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/skin_config_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/skin_load_test.cpp
  LIBS tome_viewer tome_headless)
target_compile_definitions(viewer_skin_tests PRIVATE SKIN_TEST_RESOURCES="${CMAKE_CURRENT_LIST_DIR}/../../resources")
