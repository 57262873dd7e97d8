# GoogleTest from Debian's source tree, built for whichever target this is.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(QDX_SANITIZE)
  target_compile_options(gtest PRIVATE -fsanitize=address,undefined)
  target_compile_options(gtest_main PRIVATE -fsanitize=address,undefined)
endif()

# The engine tests: the same sources on both targets.
file(GLOB_RECURSE QDX_ENGINE_TEST_SOURCES CONFIGURE_DEPENDS
  tests/core/*.cpp tests/codecs/*.cpp tests/scale/*.cpp tests/batch/*.cpp tests/support/*.cpp tests/plugins/*.cpp)
add_executable(engine_tests ${QDX_ENGINE_TEST_SOURCES})
target_link_libraries(engine_tests PRIVATE qdx_engine qdx_netpbm gtest_main)
target_compile_definitions(engine_tests PRIVATE QDX_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
if(WIN32)
  qdx_copy_heif_runtime(engine_tests $<TARGET_FILE_DIR:engine_tests>)
endif()

# Each test executable is one CTest test; it writes a JUnit-style report that
# scripts/test-all.sh sums into the closing line.
# Under Wine, Unix paths are reached through drive Z:.
if(CMAKE_CROSSCOMPILING AND WIN32)
  set(QDX_RESULTS_DIR "Z:${CMAKE_BINARY_DIR}/test-results")
else()
  set(QDX_RESULTS_DIR "${CMAKE_BINARY_DIR}/test-results")
endif()
function(qdx_add_gtest target)
  add_test(NAME ${target}
    COMMAND ${target} --gtest_output=xml:${QDX_RESULTS_DIR}/${target}.xml)
  set_tests_properties(${target} PROPERTIES TIMEOUT 1200)
endfunction()
qdx_add_gtest(engine_tests)
include(cmake/TestSuites.cmake)

if(NOT QDX_FUZZ)
  include(cmake/FuzzReplay.cmake)
endif()
include(cmake/ExtraTests.cmake)
if(WIN32)
  include(cmake/ReleaseTests.cmake)
endif()

# No source file includes against the layers (see scripts/check-layers.sh).
add_test(NAME layer_check COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-layers.sh)
add_test(NAME layer_check_refuses COMMAND bash ${CMAKE_SOURCE_DIR}/tests/scripts/check_layers_refuses.sh)
