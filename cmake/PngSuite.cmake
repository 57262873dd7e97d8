# The PNG conformance test reads the PngSuite, fetched from Debian's archive
# before the engine tests run (never committed).
add_test(NAME fetch_pngsuite COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-pngsuite.sh)
set_tests_properties(fetch_pngsuite PROPERTIES FIXTURES_SETUP pngsuite TIMEOUT 600)
set_tests_properties(engine_tests PROPERTIES FIXTURES_REQUIRED pngsuite)
