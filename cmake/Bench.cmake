# Benchmarks: every bench/<name>.cpp becomes one executable (scripts/bench.sh).
file(GLOB QDX_BENCHES CONFIGURE_DEPENDS bench/*.cpp)
foreach(source ${QDX_BENCHES})
  get_filename_component(name ${source} NAME_WE)
  add_executable(bench_${name} ${source})
  target_link_libraries(bench_${name} PRIVATE qdx_engine)
endforeach()
