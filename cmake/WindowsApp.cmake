# Quillodex.exe (GUI subsystem, Unicode, static) and the resource-only
# language libraries English.dll and Japanese.dll, built next to it.
# The program's sources live in one folder per window (app/<window>/).
set(QDX_APP_FOLDERS startup main_window preset_dialog options shell common)
set(QDX_APP_SOURCES "")
foreach(folder IN LISTS QDX_APP_FOLDERS)
  if(NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/app/${folder})
    message(FATAL_ERROR "app/${folder} is missing: update QDX_APP_FOLDERS in cmake/WindowsApp.cmake")
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/${folder}/*.cpp)
  list(APPEND QDX_APP_SOURCES ${sources})
endforeach()
list(FILTER QDX_APP_SOURCES EXCLUDE REGEX "program_main\\.cpp$")
add_library(qdx_app STATIC ${QDX_APP_SOURCES})
target_link_libraries(qdx_app PUBLIC qdx_engine comctl32 comdlg32 shell32 ole32 uuid htmlhelp shlwapi)
target_compile_options(qdx_app PUBLIC -municode)

# Resource and control identifiers, shared by the C++ code and every resource
# script (found from the source folder, which the scripts get as an include path).
set(QDX_CONTROL_IDS ${CMAKE_SOURCE_DIR}/app/common/control_ids.h)

# The manifest carries the version too; the resource script finds it (and
# program_version.h) in the generated folder.
configure_file(app/resources/Quillodex.manifest.in ${CMAKE_BINARY_DIR}/generated/Quillodex.manifest @ONLY)
set_source_files_properties(app/resources/Quillodex.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_BINARY_DIR}/generated/Quillodex.manifest;${CMAKE_BINARY_DIR}/generated/program_version.h;${QDX_CONTROL_IDS};${CMAKE_SOURCE_DIR}/app/resources/Quillodex.ico")
add_executable(Quillodex WIN32 app/startup/program_main.cpp app/resources/Quillodex.rc)
target_link_libraries(Quillodex PRIVATE qdx_app)
target_link_options(Quillodex PRIVATE -municode -mwindows)
set_target_properties(Quillodex PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# libheif.dll and libde265.dll, loaded when the first HEIF file arrives.
qdx_copy_heif_runtime(Quillodex ${CMAKE_BINARY_DIR}/bin)

# A language library holds resources only: no code and no entry point. Its
# one resource script includes the signature and the generated string table
# (which the tests also include elsewhere, so it is never compiled alone).
function(qdx_language_library name)
  # Dialog templates of a language live in lang/<Language>/*.rc, one file per
  # dialog, each included by the library's script.
  set(script ${QDX_GENERATED_DIR}/lang/${name}_library.rc)
  file(GLOB dialogs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/lang/${name}/*.rc)
  list(SORT dialogs)
  set(content "#include \"${CMAKE_SOURCE_DIR}/lang/signature.rc\"\n#include \"${name}.rc\"\n")
  foreach(dialog IN LISTS dialogs)
    string(APPEND content "#include \"${dialog}\"\n")
  endforeach()
  file(WRITE ${script}.in "${content}")
  configure_file(${script}.in ${script} COPYONLY)
  set_source_files_properties(${script} PROPERTIES
    OBJECT_DEPENDS "${QDX_GENERATED_DIR}/lang/${name}.rc;${CMAKE_SOURCE_DIR}/lang/signature.rc;${dialogs};${QDX_CONTROL_IDS}")
  add_library(${name} SHARED ${script})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  set_target_properties(${name} PROPERTIES
    PREFIX "" LINKER_LANGUAGE C
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
  target_link_options(${name} PRIVATE -nostdlib -Wl,--entry=0 -s)
endfunction()
foreach(language IN LISTS QDX_LANGUAGES)
  qdx_language_library(${language})
  add_dependencies(Quillodex ${language})
endforeach()

# The user guide: help/*.html compiled into Quillodex.chm beside the program,
# which the Help button opens. Without chmcmd (Debian fp-utils) there is no
# help file and the button falls back to the web page.
find_program(QDX_CHMCMD chmcmd)
if(QDX_CHMCMD)
  file(GLOB QDX_HELP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/help/*)
  set(QDX_HELP_WORK ${CMAKE_BINARY_DIR}/help)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/bin/Quillodex.chm
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${QDX_HELP_WORK}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/help ${QDX_HELP_WORK}
    COMMAND ${CMAKE_COMMAND} -E chdir ${QDX_HELP_WORK} ${QDX_CHMCMD} Quillodex.hhp
    # chmcmd stamps the time of day into the file; a release needs the same bytes.
    COMMAND python3 ${CMAKE_SOURCE_DIR}/scripts/chm-without-time.py ${QDX_HELP_WORK}/Quillodex.chm
    COMMAND ${CMAKE_COMMAND} -E copy ${QDX_HELP_WORK}/Quillodex.chm ${CMAKE_BINARY_DIR}/bin/Quillodex.chm
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${QDX_HELP_SOURCES}
    COMMENT "Compiling the user guide"
    VERBATIM)
  add_custom_target(user_guide ALL DEPENDS ${CMAKE_BINARY_DIR}/bin/Quillodex.chm)
  add_dependencies(Quillodex user_guide)
else()
  message(WARNING "chmcmd not found: Quillodex.chm is not built (install fp-utils)")
endif()
