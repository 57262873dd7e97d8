# The conformance tests read the PngSuite and libtiff's test images, fetched
# from Debian's archive before the engine tests run (never committed).
add_test(NAME fetch_test_suites COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-test-suites.sh)
set_tests_properties(fetch_test_suites PROPERTIES FIXTURES_SETUP test_suites TIMEOUT 600)
set_tests_properties(engine_tests PROPERTIES FIXTURES_REQUIRED test_suites)
