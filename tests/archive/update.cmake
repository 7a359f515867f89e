# Updating archives: compression, encryption, add/update/delete and commit, checked through the
# library itself and against python3's zipfile, unzip and 7z.
tome_add_test(archive_update_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/update/compress_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update/commit_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update/interop_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/update/update_fixture.cpp
  LIBS tome_archive ZLIB::ZLIB)
