# Our own reader plug-ins. The decoding core of each is portable (tested and
# fuzzed natively); the plug-in library itself is built for Windows only and
# placed in the "plugins" folder beside Quillodex.exe.
add_library(qdx_netpbm STATIC plugins/netpbm/netpbm_decode.cpp)
target_include_directories(qdx_netpbm PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(qdx_netpbm PRIVATE qdx_warnings)

if(WIN32)
  add_library(NetpbmPlugin SHARED plugins/netpbm/netpbm_plugin.cpp)
  target_link_libraries(NetpbmPlugin PRIVATE qdx_netpbm qdx_warnings)
  target_compile_definitions(NetpbmPlugin PRIVATE WIN32_LEAN_AND_MEAN)
  set_target_properties(NetpbmPlugin PROPERTIES
    PREFIX "" OUTPUT_NAME netpbm SUFFIX .spi
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/plugins
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
  target_link_options(NetpbmPlugin PRIVATE -s)
  if(TARGET Quillodex)
    add_dependencies(Quillodex NetpbmPlugin)
  endif()
endif()
