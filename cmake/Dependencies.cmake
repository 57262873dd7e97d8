# zlib from the system (zlib1g-dev natively, libz-mingw-w64-dev for Windows),
# libjpeg-turbo built by scripts/build-deps.sh from Debian's source package.
find_package(ZLIB REQUIRED)
add_library(qdx::zlib INTERFACE IMPORTED)
if(WIN32)
  # The MinGW zlib package ships both; link the archive so the exe stands alone.
  find_library(QDX_ZLIB_STATIC NAMES libz.a REQUIRED)
  target_link_libraries(qdx::zlib INTERFACE ${QDX_ZLIB_STATIC})
  target_include_directories(qdx::zlib INTERFACE ${ZLIB_INCLUDE_DIRS})
else()
  target_link_libraries(qdx::zlib INTERFACE ZLIB::ZLIB)
endif()

if(WIN32)
  set(QDX_JPEG_PREFIX "${QDX_DEPS_DIR}/windows")
else()
  set(QDX_JPEG_PREFIX "${QDX_DEPS_DIR}/native")
endif()
if(NOT EXISTS "${QDX_JPEG_PREFIX}/lib/libjpeg.a")
  message(FATAL_ERROR "libjpeg-turbo not found in ${QDX_JPEG_PREFIX}: run scripts/build-deps.sh first")
endif()
add_library(qdx::jpeg STATIC IMPORTED)
set_target_properties(qdx::jpeg PROPERTIES
  IMPORTED_LOCATION "${QDX_JPEG_PREFIX}/lib/libjpeg.a"
  INTERFACE_INCLUDE_DIRECTORIES "${QDX_JPEG_PREFIX}/include")
