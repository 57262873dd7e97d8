# Tests of the programs themselves: Quillodex.exe under Wine, quillodex natively.
if(WIN32)
  file(GLOB QDX_APP_TEST_SOURCES CONFIGURE_DEPENDS tests/app/*.cpp)
  add_executable(app_tests ${QDX_APP_TEST_SOURCES} tests/support/temp_folder.cpp tests/support/sample_images.cpp)
  target_link_libraries(app_tests PRIVATE qdx_app gtest_main version)
  # Under Wine the build folder is reached through drive Z:.
  target_compile_definitions(app_tests PRIVATE QDX_BIN_DIR="Z:${CMAKE_BINARY_DIR}/bin"
                                               QDX_BUILD_DIR="Z:${CMAKE_BINARY_DIR}")
  add_dependencies(app_tests Quillodex NoSignature)
  # A library that loads but lacks the signature.
  add_library(NoSignature SHARED ${CMAKE_SOURCE_DIR}/tests/app/no_signature.rc)
  set_target_properties(NoSignature PROPERTIES PREFIX "" LINKER_LANGUAGE C
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
  target_link_options(NoSignature PRIVATE -nostdlib -Wl,--entry=0 -s)
  qdx_add_gtest(app_tests)
  # A settings file written by the native command line reads back unchanged
  # in the Windows program (test-all.sh builds the native tree first).
  set(QDX_NATIVE_CLI "${CMAKE_SOURCE_DIR}/build/native/bin/quillodex" CACHE FILEPATH
    "The native quillodex whose settings file the Windows program reads back")
  add_test(NAME cli_settings_read_back
    COMMAND ${CMAKE_SOURCE_DIR}/tests/cli/settings_read_back_under_wine.sh
      ${QDX_NATIVE_CLI} ${CMAKE_BINARY_DIR}/bin ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
  set_tests_properties(cli_settings_read_back PROPERTIES TIMEOUT 300)
else()
  file(GLOB QDX_CLI_TEST_SOURCES CONFIGURE_DEPENDS tests/cli/*.cpp)
  add_executable(cli_tests ${QDX_CLI_TEST_SOURCES} tests/support/temp_folder.cpp tests/support/sample_images.cpp)
  target_link_libraries(cli_tests PRIVATE qdx_cli gtest_main)
  target_compile_definitions(cli_tests PRIVATE QDX_CLI_PATH="$<TARGET_FILE:quillodex>")
  add_dependencies(cli_tests quillodex)
  qdx_add_gtest(cli_tests)
endif()
