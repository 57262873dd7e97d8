# Tests of the programs themselves: Quillodex.exe under Wine, quillodex natively.
if(WIN32)
  file(GLOB QDX_APP_TEST_SOURCES CONFIGURE_DEPENDS tests/app/*.cpp)
  add_executable(app_tests ${QDX_APP_TEST_SOURCES} tests/support/temp_folder.cpp tests/support/sample_images.cpp
    tests/support/bomb_images.cpp tests/support/jpeg_fixtures.cpp tests/support/dropped_tree.cpp
    tests/support/png_files.cpp)
  target_link_libraries(app_tests PRIVATE qdx_app gtest_main version)
  # Under Wine the build folder is reached through drive Z:.
  target_compile_definitions(app_tests PRIVATE QDX_BIN_DIR="Z:${CMAKE_BINARY_DIR}/bin"
                                               QDX_BUILD_DIR="Z:${CMAKE_BINARY_DIR}"
                                               QDX_SOURCE_DIR="Z:${CMAKE_SOURCE_DIR}")
  add_dependencies(app_tests Quillodex NoSignature PayloadLanguage)
  # The options dialog lists and loads the language libraries found beside
  # the running program, so the tests keep a copy beside themselves.
  add_custom_command(TARGET app_tests POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:English> $<TARGET_FILE:Japanese>
            $<TARGET_FILE:NoSignature> $<TARGET_FILE:PayloadLanguage> $<TARGET_FILE_DIR:app_tests>)
  # Test libraries are built beside the tests, not in bin/, whose libraries
  # all ship in the release. A library that loads but lacks the signature:
  add_library(NoSignature SHARED ${CMAKE_SOURCE_DIR}/tests/app/no_signature.rc)
  set_target_properties(NoSignature PROPERTIES PREFIX "" LINKER_LANGUAGE C
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR} ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
  # Build folders from before the move still hold copies in bin/.
  file(REMOVE ${CMAKE_BINARY_DIR}/bin/NoSignature.dll ${CMAKE_BINARY_DIR}/bin/PayloadLanguage.dll)
  target_link_options(NoSignature PRIVATE -nostdlib -Wl,--entry=0 -s)
  # A signed library with start-up code that leaves a file when it runs.
  add_library(PayloadLanguage SHARED ${CMAKE_SOURCE_DIR}/tests/app/payload/payload_language.cpp
              ${CMAKE_SOURCE_DIR}/lang/signature.rc)
  set_target_properties(PayloadLanguage PROPERTIES PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR} ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
  target_include_directories(PayloadLanguage PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_options(PayloadLanguage PRIVATE -static)
  qdx_add_gtest(app_tests)
  # The windows at higher display scales, each resolution in a Wine prefix of
  # its own: the scaling tests and the screenshots of every window.
  set(QDX_DPI_TESTS "DisplayScaleTest.*:MainWindowTest.Screenshots*:Languages/PresetDialogLayoutTest.*:OptionsDialogTest.Screenshots*")
  foreach(dpi 144 192)
    add_test(NAME app_tests_${dpi}dpi
      COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/wine-dpi.sh ${CMAKE_BINARY_DIR} ${dpi} $<TARGET_FILE:app_tests>
              --gtest_filter=${QDX_DPI_TESTS} --gtest_output=xml:${QDX_RESULTS_DIR}/app_tests_${dpi}dpi.xml)
    set_tests_properties(app_tests_${dpi}dpi PROPERTIES TIMEOUT 600)
  endforeach()
  # A settings file written by the native command line reads back unchanged
  # in the Windows program (test-all.sh builds the native tree first).
  set(QDX_NATIVE_CLI "${CMAKE_SOURCE_DIR}/build/native/bin/quillodex" CACHE FILEPATH
    "The native quillodex whose settings file the Windows program reads back")
  add_test(NAME cli_settings_read_back
    COMMAND ${CMAKE_SOURCE_DIR}/tests/cli/settings_read_back_under_wine.sh
      ${QDX_NATIVE_CLI} ${CMAKE_BINARY_DIR}/bin ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
  set_tests_properties(cli_settings_read_back PROPERTIES TIMEOUT 300)
  # WebP outputs of the native command line (one worker and four) and of
  # Quillodex.exe are the same bytes.
  add_test(NAME webp_same_bytes
    COMMAND ${CMAKE_SOURCE_DIR}/tests/cli/webp_same_bytes_under_wine.sh
      ${QDX_NATIVE_CLI} ${CMAKE_BINARY_DIR}/bin ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)
  set_tests_properties(webp_same_bytes PROPERTIES TIMEOUT 300)
else()
  file(GLOB QDX_CLI_TEST_SOURCES CONFIGURE_DEPENDS tests/cli/*.cpp)
  add_executable(cli_tests ${QDX_CLI_TEST_SOURCES} tests/support/temp_folder.cpp tests/support/sample_images.cpp)
  target_link_libraries(cli_tests PRIVATE qdx_cli gtest_main)
  target_compile_definitions(cli_tests PRIVATE QDX_CLI_PATH="$<TARGET_FILE:quillodex>")
  add_dependencies(cli_tests quillodex)
  qdx_add_gtest(cli_tests)
endif()

# The plug-in bridge with real plug-in libraries (Windows only): our Netpbm
# reader, the misbehaving test plug-ins, and Netpbm files with references
# made by an independent decoder (Pillow) on the build machine.
if(WIN32)
  set(QDX_TEST_PLUGINS crash_is_supported crash_get_picture overflow_info deep_pixels top_down archive prefixed)
  foreach(behaviour IN LISTS QDX_TEST_PLUGINS)
    set(extension .spi)
    if(behaviour STREQUAL "prefixed")
      set(extension .sph)
    endif()
    add_library(test_plugin_${behaviour} SHARED tests/plugin_host/misbehaving/test_plugin.cpp)
    target_compile_definitions(test_plugin_${behaviour} PRIVATE QDX_TEST_PLUGIN="${behaviour}")
    # Faults on purpose: no warnings about them, and no optimising them away.
    target_compile_options(test_plugin_${behaviour} PRIVATE -O1 -Wno-infinite-recursion -Wno-div-by-zero)
    target_include_directories(test_plugin_${behaviour} PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(test_plugin_${behaviour} PRIVATE qdx_warnings)
    set_target_properties(test_plugin_${behaviour} PROPERTIES
      PREFIX "" OUTPUT_NAME ${behaviour} SUFFIX ${extension}
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/testplugins
      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
    list(APPEND QDX_TEST_PLUGIN_TARGETS test_plugin_${behaviour})
  endforeach()

  file(GLOB QDX_PLUGIN_TEST_SOURCES CONFIGURE_DEPENDS tests/plugin_host/*.cpp)
  add_executable(plugin_tests ${QDX_PLUGIN_TEST_SOURCES} tests/batch/batch_test_support.cpp
    tests/support/temp_folder.cpp)
  target_link_libraries(plugin_tests PRIVATE qdx_engine gtest_main)
  target_compile_definitions(plugin_tests PRIVATE
    QDX_PLUGIN_DIR="Z:${CMAKE_BINARY_DIR}/bin/plugins"
    QDX_TEST_PLUGIN_DIR="Z:${CMAKE_BINARY_DIR}/bin/testplugins"
    QDX_NETPBM_FIXTURES="Z:${CMAKE_BINARY_DIR}/netpbm-fixtures")
  add_dependencies(plugin_tests NetpbmPlugin ${QDX_TEST_PLUGIN_TARGETS})
  qdx_add_gtest(plugin_tests)

  find_program(QDX_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
  add_test(NAME netpbm_fixtures
    COMMAND ${QDX_SYSTEM_PYTHON} ${CMAKE_SOURCE_DIR}/tests/plugin_host/make_netpbm_fixtures.py
            ${CMAKE_BINARY_DIR}/netpbm-fixtures)
  set_tests_properties(netpbm_fixtures PROPERTIES FIXTURES_SETUP netpbm_files)
  set_tests_properties(plugin_tests PROPERTIES FIXTURES_REQUIRED netpbm_files)
endif()
