# The archiver component: defaults and setters, open and close, volume names and detection, the
# event defaults and their prompts, the directory writer (checked against Python's zipfile), and the
# writers' lock on a file system that keeps none.
tome_add_test(archive_archiver_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/archiver/fixture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/archiver/properties_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/archiver/open_close_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/archiver/volumes_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/archiver/events_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/archiver/dir_writer_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/archiver/lock_fault_test.cpp
  LIBS tome_archive)
