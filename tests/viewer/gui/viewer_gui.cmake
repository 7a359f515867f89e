pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)

# The real viewer under X on the sample book that the build assembles in build/book (label gui).
tome_add_test(viewer_gui_tests
  SOURCES
    ${CMAKE_SOURCE_DIR}/tests/gui/gui_env.cpp
    ${CMAKE_SOURCE_DIR}/tests/gui/screen.cpp
    ${CMAKE_CURRENT_LIST_DIR}/screen_watch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/viewer_gui_test.cpp
  LIBS tome_viewer tome_gtk tome_web tome_media PkgConfig::X11
  LABELS gui)
target_compile_definitions(viewer_gui_tests PRIVATE
  TOME_BOOK_DIR="${CMAKE_BINARY_DIR}/book"
  TOME_TEST_RESOURCES="${CMAKE_SOURCE_DIR}/resources")
