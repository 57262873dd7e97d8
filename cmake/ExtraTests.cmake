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
else()
  file(GLOB QDX_CLI_TEST_SOURCES CONFIGURE_DEPENDS tests/cli/*.cpp)
  add_executable(cli_tests ${QDX_CLI_TEST_SOURCES} tests/support/temp_folder.cpp tests/support/sample_images.cpp)
  target_link_libraries(cli_tests PRIVATE qdx_cli gtest_main)
  target_compile_definitions(cli_tests PRIVATE QDX_CLI_PATH="$<TARGET_FILE:quillodex>")
  add_dependencies(cli_tests quillodex)
  qdx_add_gtest(cli_tests)
endif()
