# zlib from the system (zlib1g-dev natively, libz-mingw-w64-dev for Windows),
# libjpeg-turbo, libwebp, libtiff and lcms2 built by scripts/build-deps.sh from
# Debian's source packages.
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

# libwebp (decoder, demux for animations) and libtiff (with zlib and the
# libjpeg-turbo above), built by the same script into the same prefix.
foreach(archive libwebp.a libwebpdemux.a libsharpyuv.a libtiff.a)
  if(NOT EXISTS "${QDX_JPEG_PREFIX}/lib/${archive}" AND NOT archive STREQUAL "libsharpyuv.a")
    message(FATAL_ERROR "${archive} not found in ${QDX_JPEG_PREFIX}: run scripts/build-deps.sh first")
  endif()
endforeach()
add_library(qdx::webp STATIC IMPORTED)
set_target_properties(qdx::webp PROPERTIES
  IMPORTED_LOCATION "${QDX_JPEG_PREFIX}/lib/libwebp.a"
  INTERFACE_INCLUDE_DIRECTORIES "${QDX_JPEG_PREFIX}/include")
add_library(qdx::webpdemux STATIC IMPORTED)
set_target_properties(qdx::webpdemux PROPERTIES
  IMPORTED_LOCATION "${QDX_JPEG_PREFIX}/lib/libwebpdemux.a"
  INTERFACE_LINK_LIBRARIES qdx::webp)
if(EXISTS "${QDX_JPEG_PREFIX}/lib/libsharpyuv.a")
  set_property(TARGET qdx::webp APPEND PROPERTY INTERFACE_LINK_LIBRARIES "${QDX_JPEG_PREFIX}/lib/libsharpyuv.a")
endif()
find_package(Threads REQUIRED)
set_property(TARGET qdx::webp APPEND PROPERTY INTERFACE_LINK_LIBRARIES Threads::Threads)
add_library(qdx::tiff STATIC IMPORTED)
set_target_properties(qdx::tiff PROPERTIES
  IMPORTED_LOCATION "${QDX_JPEG_PREFIX}/lib/libtiff.a"
  INTERFACE_INCLUDE_DIRECTORIES "${QDX_JPEG_PREFIX}/include"
  INTERFACE_LINK_LIBRARIES "qdx::jpeg;qdx::zlib")
if(NOT WIN32)
  set_property(TARGET qdx::tiff APPEND PROPERTY INTERFACE_LINK_LIBRARIES m)
endif()

# libheif with libde265 (HEVC) and dav1d (AV1), built by the same script.
# Natively they are linked in. On Windows the engine only sees the headers:
# libheif.dll and libde265.dll are loaded at run time from the program's
# folder, and the build puts them (with their licence texts and a note on
# where their sources come from) beside every program that may load them.
add_library(qdx::heif INTERFACE IMPORTED)
set_target_properties(qdx::heif PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${QDX_JPEG_PREFIX}/include")
if(WIN32)
  set(QDX_HEIF_RUNTIME "${QDX_JPEG_PREFIX}/bin/libheif.dll" "${QDX_JPEG_PREFIX}/bin/libde265.dll")
  file(GLOB QDX_HEIF_NOTES "${QDX_JPEG_PREFIX}/share/heif-libraries/*")
  foreach(file ${QDX_HEIF_RUNTIME} "${QDX_JPEG_PREFIX}/share/heif-libraries/heif-libraries-sources.txt")
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "${file} not found: run scripts/build-deps.sh windows first")
    endif()
  endforeach()
  # Copies the HEIF libraries and their notes into `folder` after `target` is built.
  function(qdx_copy_heif_runtime target folder)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QDX_HEIF_RUNTIME} ${QDX_HEIF_NOTES} ${folder})
  endfunction()
else()
  foreach(archive libheif.a libde265.a libdav1d.a)
    if(NOT EXISTS "${QDX_JPEG_PREFIX}/lib/${archive}")
      message(FATAL_ERROR "${archive} not found in ${QDX_JPEG_PREFIX}: run scripts/build-deps.sh first")
    endif()
  endforeach()
  set_property(TARGET qdx::heif APPEND PROPERTY INTERFACE_LINK_LIBRARIES
    "${QDX_JPEG_PREFIX}/lib/libheif.a" "${QDX_JPEG_PREFIX}/lib/libde265.a" "${QDX_JPEG_PREFIX}/lib/libdav1d.a"
    Threads::Threads ${CMAKE_DL_LIBS} m)
endif()

# lcms2 (colour management), built by the same script into the same prefix.
if(NOT EXISTS "${QDX_JPEG_PREFIX}/lib/liblcms2.a")
  message(FATAL_ERROR "liblcms2.a not found in ${QDX_JPEG_PREFIX}: run scripts/build-deps.sh first")
endif()
add_library(qdx::lcms2 STATIC IMPORTED)
set_target_properties(qdx::lcms2 PROPERTIES
  IMPORTED_LOCATION "${QDX_JPEG_PREFIX}/lib/liblcms2.a"
  INTERFACE_INCLUDE_DIRECTORIES "${QDX_JPEG_PREFIX}/include")
if(NOT WIN32)
  set_property(TARGET qdx::lcms2 APPEND PROPERTY INTERFACE_LINK_LIBRARIES m)
endif()
