# The damaged-archive corpus (tests/archive/damaged, made by make_damaged.py): one CTest test per
# archive, each run through zipx list, test and extract.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND AND TARGET zipx)
  file(GLOB damaged_archives CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/damaged/*.zip)
  foreach(archive ${damaged_archives})
    get_filename_component(case ${archive} NAME_WE)
    add_test(NAME archive_damaged_corpus_${case}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/damaged/run_damaged.py $<TARGET_FILE:zipx> ${archive})
    set_tests_properties(archive_damaged_corpus_${case} PROPERTIES LABELS "unit;interop" TIMEOUT 300)
  endforeach()
endif()
