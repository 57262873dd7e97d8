# The release checked from the build (Windows only): the zip's entries and
# licences, the same bytes from a second packing, and the installer run
# under Wine with the program it installs.
set(QDX_RELEASE_TEST_DIR ${CMAKE_BINARY_DIR}/release-test)
set(QDX_RELEASE_NAME Quillodex-${PROJECT_VERSION}-win64)
add_test(NAME release_pack COMMAND ${QDX_PACKAGE_COMMAND} ${QDX_RELEASE_TEST_DIR}/first)
set_tests_properties(release_pack PROPERTIES FIXTURES_SETUP release_files TIMEOUT 600)

add_test(NAME release_zip_listing
  COMMAND ${QDX_SYSTEM_PYTHON} ${CMAKE_SOURCE_DIR}/tests/release/zip_listing_test.py
          ${QDX_RELEASE_TEST_DIR}/first/${QDX_RELEASE_NAME}.zip $<TARGET_FILE_DIR:Quillodex> ${QDX_LINK_MAP}
          ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR} ${QDX_LANGUAGES})
add_test(NAME release_same_bytes
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/release/same_bytes_test.sh
          ${QDX_RELEASE_TEST_DIR}/first ${QDX_RELEASE_TEST_DIR}/second ${QDX_PACKAGE_COMMAND})
set_tests_properties(release_zip_listing release_same_bytes PROPERTIES FIXTURES_REQUIRED release_files TIMEOUT 600)

add_executable(installer_tests tests/release/installer_test.cpp
  tests/support/temp_folder.cpp tests/support/sample_images.cpp)
target_link_libraries(installer_tests PRIVATE qdx_engine gtest_main ole32)
target_compile_definitions(installer_tests PRIVATE
  QDX_INSTALLER="Z:${QDX_RELEASE_TEST_DIR}/first/${QDX_RELEASE_NAME}-setup.exe"
  QDX_INSTALLED_FILES="Z:${QDX_RELEASE_TEST_DIR}/first/${QDX_RELEASE_NAME}.files")
qdx_add_gtest(installer_tests)
set_tests_properties(installer_tests PROPERTIES FIXTURES_REQUIRED release_files)
