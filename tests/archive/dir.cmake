# Directory array, record layouts, reading and rebuilding the central directory.
tome_add_test(archive_dir_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/dir/records_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dir/dir_array_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dir/dir_manager_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dir/dir_rebuild_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dir/zip_builder.cpp
  LIBS tome_archive)

# Interoperability: archives made at test time by zip, 7z and Python's zipfile, listed by zipdir and
# compared with Python's infolist(); and the damaged-archive corpus. One CTest test per case.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND AND TARGET zipdir)
  set(zadir_interop_cases
    zip_plain zip_store zip_max zip_zip64 zip_encrypted zip_streamed zip_streamed_tree zip_stub
    zip_stub_adjusted zip_comment 7z_deflate 7z_store python_zip64 python_many python_unseekable
    python_cp866 python_utf8 zip_utf8_names python_raw_names)
  foreach(case ${zadir_interop_cases})
    add_test(NAME archive_interop_${case}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/interop/interop_test.py $<TARGET_FILE:zipdir> ${case})
    set_tests_properties(archive_interop_${case} PROPERTIES
      LABELS "unit;interop" TIMEOUT 300 SKIP_RETURN_CODE 77)
  endforeach()
  set(zadir_damaged_classes
    truncated flipped_signature bad_locator counts_beyond sizes_beyond extra_overrun random_damage)
  foreach(class ${zadir_damaged_classes})
    add_test(NAME archive_damaged_${class}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/interop/damaged_corpus.py $<TARGET_FILE:zipdir> ${class})
    set_tests_properties(archive_damaged_${class} PROPERTIES
      LABELS "unit;interop" TIMEOUT 300 SKIP_RETURN_CODE 77)
  endforeach()
endif()
