# Warnings and floating-point rules shared by every target of ours.
add_library(qdx_warnings INTERFACE)
target_compile_options(qdx_warnings INTERFACE
  -Wall -Wextra
  # Floating-point steps must give the same bytes on both targets.
  -ffp-contract=off -fno-fast-math)
if(WIN32)
  # Every Windows binary is statically linked so that it runs without MinGW DLLs.
  target_link_options(qdx_warnings INTERFACE -static)
  # No link time in the PE headers of any binary here: one commit builds to
  # the same bytes, so its release does too.
  add_link_options(-Wl,--no-insert-timestamp)
endif()
if(QDX_SANITIZE)
  target_compile_options(qdx_warnings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(qdx_warnings INTERFACE -fsanitize=address,undefined)
  # Pixel buffers from the instrumented heap, so overruns inside a page show.
  target_compile_definitions(qdx_warnings INTERFACE QDX_PIXELS_FROM_HEAP)
endif()
