# Error codes and messages, hashed string lists, character tables, wildcard matching, path routines.
tome_add_test(archive_core_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/core/exceptions_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/core/hashed_list_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/core/char_tables_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/core/wildcard_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/core/paths_test.cpp
  LIBS tome_archive)
