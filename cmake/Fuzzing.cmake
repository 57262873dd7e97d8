# libFuzzer targets: every fuzz/<name>_fuzzer.cpp becomes one executable.
# Configure a separate clang build folder with -DQDX_FUZZ=ON (scripts/fuzz.sh).
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "QDX_FUZZ needs clang (CC=clang CXX=clang++)")
endif()
file(GLOB QDX_FUZZERS CONFIGURE_DEPENDS fuzz/*_fuzzer.cpp)
foreach(source ${QDX_FUZZERS})
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE qdx_engine qdx_netpbm)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endforeach()
# The engine itself gets coverage instrumentation for the fuzzers.
target_compile_options(qdx_engine PRIVATE -fsanitize=fuzzer-no-link)
target_compile_options(qdx_netpbm PRIVATE -fsanitize=fuzzer-no-link)
