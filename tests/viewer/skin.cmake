# Skin configuration, picture file, layout, templates and skin loading.
tome_add_test(viewer_skin_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/skin_ncf_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/skin_face_test.cpp
  LIBS tome_viewer_core)
