# Every fuzz target is also built into an ordinary test that replays its
# corpus (fuzz/corpus/<name>/, which must exist) and the crashers checked in
# under tests/data/crashers/<name>/ when there are any, so inputs that once
# failed stay fixed. (A crashers folder added later is seen at the next
# configure.)
file(GLOB QDX_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzzer.cpp)
foreach(source ${QDX_FUZZ_SOURCES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name}_replay ${source} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
  target_link_libraries(${name}_replay PRIVATE qdx_engine qdx_netpbm)
  set(folders ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
  if(IS_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/data/crashers/${name})
    list(APPEND folders ${CMAKE_SOURCE_DIR}/tests/data/crashers/${name})
  endif()
  add_test(NAME ${name}_replay COMMAND ${name}_replay ${folders})
  # Leaks inside third-party libraries that our code cannot reach.
  set_tests_properties(${name}_replay PROPERTIES
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/fuzz/lsan_suppressions.txt")
  if(WIN32 AND name MATCHES "^heif")
    qdx_copy_heif_runtime(${name}_replay $<TARGET_FILE_DIR:${name}_replay>)
  endif()
endforeach()
