# Directory array, record layouts, reading and rebuilding the central directory.
tome_add_test(archive_dir_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dir/records_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dir/dir_array_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dir/dir_manager_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dir/dir_rebuild_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dir/zip_builder.cpp
  LIBS tome_archive)
