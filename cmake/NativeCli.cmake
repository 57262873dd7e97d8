# The native command line, quillodex.
add_library(qdx_cli STATIC cli/command_line.cpp cli/settings_keys.cpp cli/paths.cpp)
target_link_libraries(qdx_cli PUBLIC qdx_engine)
add_executable(quillodex cli/main.cpp)
target_link_libraries(quillodex PRIVATE qdx_cli)
set_target_properties(quillodex PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
