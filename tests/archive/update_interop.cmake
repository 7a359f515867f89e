# zipx add, delete and delete-at on archives that zip, 7z and Python's zipfile write at test time,
# checked by zipfile, unzip and 7z. One CTest test per case.
find_package(Python3 COMPONENTS Interpreter)

# One CTest test archive_zipx_<prefix>_<case> per case, running interop/<script> on zipx.
function(zipx_script_cases prefix script)
  if(Python3_Interpreter_FOUND AND TARGET zipx)
    foreach(case ${ARGN})
      add_test(NAME archive_zipx_${prefix}_${case}
        COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/interop/${script} $<TARGET_FILE:zipx> ${case})
      set_tests_properties(archive_zipx_${prefix}_${case} PROPERTIES
        LABELS "unit;interop" TIMEOUT 300 SKIP_RETURN_CODE 77)
    endforeach()
  endif()
endfunction()

zipx_script_cases(update zipx_update_test.py
  zip_plain zip_descriptors zip_zip64 zip_stub 7z_deflate python_utf8 python_streamed python_zip64
  colliding_names refused_paths unchanged_batches held_archive replaced_names odd_sources base_folder
  write_limits linux_names merged_sources meeting_names)

# Entries moved below 4 GiB by a delete lose the ZIP64 fields they no longer need (a sparse archive);
# streamed archives cut off before their directory are changed through the rebuild, per writer.
if(Python3_Interpreter_FOUND AND TARGET zipx)
  add_test(NAME archive_zipx_zip64_delete
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/interop/zipx_zip64_delete_test.py $<TARGET_FILE:zipx>)
  foreach(writer python zip)
    add_test(NAME archive_zipx_cut_archive_${writer}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/interop/zipx_cut_archive_test.py $<TARGET_FILE:zipx> ${writer})
  endforeach()
  set_tests_properties(archive_zipx_zip64_delete archive_zipx_cut_archive_python archive_zipx_cut_archive_zip
    PROPERTIES LABELS "unit;interop" TIMEOUT 300 SKIP_RETURN_CODE 77)
endif()

# No add or delete loses bytes it cannot place: foreign data around an archive, archives cut at every
# few bytes, sizes the directory does not hold, streamed ZIP64 entries after a delete.
zipx_script_cases(unplaced zipx_unplaced_bytes_test.py foreign_data cut_sweep sizes_missing zip64_streamed)

# A killed commit's temporary goes with the next writer of the archive.
zipx_script_cases(killed zipx_killed_test.py commit_leftovers)
