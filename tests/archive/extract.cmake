# Entry extraction: cipher and CRC vectors, inflate edge cases, extraction to files, and the
# interoperability checks against archives that zip, 7z and Python write at test time.
tome_add_test(archive_extract_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/extract/crypto_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/extract/extract_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/extract/fscount_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/extract/zip_builder.cpp
  LIBS tome_archive ZLIB::ZLIB)

find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  foreach(case zip_plain zip_store zip_max zip_crypt zip_split 7z_deflate 7z_store 7z_crypt
               7z_deflate64 7z_refused python_zipfile hostile list links file_size_limit)
    add_test(NAME archive_extract_interop_${case}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/extract/interop.py
              --zipx $<TARGET_FILE:zipx> --case ${case})
    set_tests_properties(archive_extract_interop_${case} PROPERTIES
      LABELS "interop;unit" TIMEOUT 300 SKIP_RETURN_CODE 77)
  endforeach()
endif()
