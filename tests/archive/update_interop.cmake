# zipx add, delete and delete-at on archives that zip, 7z and Python's zipfile write at test time,
# checked by zipfile, unzip and 7z. One CTest test per case.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND AND TARGET zipx)
  foreach(case zip_plain zip_descriptors zip_zip64 zip_stub 7z_deflate python_utf8 python_streamed
               python_zip64 colliding_names refused_paths unchanged_batches held_archive replaced_names
               odd_sources base_folder)
    add_test(NAME archive_zipx_update_${case}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/interop/zipx_update_test.py $<TARGET_FILE:zipx> ${case})
    set_tests_properties(archive_zipx_update_${case} PROPERTIES
      LABELS "unit;interop" TIMEOUT 300 SKIP_RETURN_CODE 77)
  endforeach()
endif()
