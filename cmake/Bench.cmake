# Benchmarks: every bench/<name>.cpp becomes one executable (scripts/bench.sh).
file(GLOB QDX_BENCHES CONFIGURE_DEPENDS bench/*.cpp)
foreach(source ${QDX_BENCHES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(bench_${name} ${source})
  target_link_libraries(bench_${name} PRIVATE qdx_engine)
endforeach()
# The bombs are the tests' own, made by their support code.
target_sources(bench_bombs PRIVATE tests/support/bomb_images.cpp tests/support/jpeg_fixtures.cpp)
