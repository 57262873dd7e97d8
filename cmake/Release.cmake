# The release of the Windows program. Linking Quillodex.exe writes a map of
# what went into it, from which the licence texts of every third-party
# library are placed in bin/LICENSES. Any other licence text the build puts
# there or beside the program, and every library beside it, ships too.
# "cmake --build . --target release" packs the zip and the installer into
# release/ (scripts/package.sh).
set(QDX_LINK_MAP ${CMAKE_BINARY_DIR}/Quillodex.map)
target_link_options(Quillodex PRIVATE -Wl,-Map=${QDX_LINK_MAP})
add_custom_command(TARGET Quillodex POST_BUILD
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/collect-licences.sh ${QDX_LINK_MAP} ${QDX_DEPS_DIR}/src
          ${CMAKE_BINARY_DIR} $<TARGET_FILE_DIR:Quillodex>/LICENSES
  VERBATIM)

set(QDX_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
set(QDX_PACKAGE_COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/package.sh $<TARGET_FILE_DIR:Quillodex> ${PROJECT_VERSION})
add_custom_target(release
  COMMAND ${QDX_PACKAGE_COMMAND} ${QDX_RELEASE_DIR}
  DEPENDS Quillodex
  COMMENT "Packing the release zip and installer into ${QDX_RELEASE_DIR}"
  VERBATIM)
