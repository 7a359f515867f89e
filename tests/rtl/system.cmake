# Tests of the system half of the run-time layer: paths, file search, clock, registry, locks,
# process start and dialogs.
tome_add_test(rtl_system_tests
  SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/paths_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/findfile_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/datetime_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/registry_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/locks_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/process_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/dialogs_test.cpp
  LIBS tome_rtl)
