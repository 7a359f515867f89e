# The configuration record and the favourites.
tome_add_test(viewer_bindings_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/bindings_test.cpp
  LIBS tome_viewer tome_headless)
