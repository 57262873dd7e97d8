# Language texts: lang/<Language>.txt (format in lang/README.md) are turned at
# build time by GenerateLanguageTexts.cmake into
#   ${QDX_GENERATED_DIR}/lang/builtin_text_tables.cpp  compiled into the engine
#       (BuiltInTexts in core/builtin_texts.h), and
#   ${QDX_GENERATED_DIR}/lang/<Language>.rc             string tables for the
#       resource-only language libraries (QDX_LANGUAGE_RC_FILES).
set(QDX_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(QDX_LANGUAGES English Japanese)
set(QDX_LANGUAGE_GENERATOR ${CMAKE_SOURCE_DIR}/cmake/GenerateLanguageTexts.cmake)

# qdx_generate_language_texts(<source folder> <output folder> <languages...>)
# sets <output folder>/<first-language>_tables.cpp and the .rc files up as
# outputs of one generator run; SAME_IDS is demanded of the real languages.
function(qdx_generate_language_texts sourceDir outDir cppName sameIds)
  set(languages ${ARGN})
  set(inputs "")
  set(rcFiles "")
  foreach(language IN LISTS languages)
    list(APPEND inputs ${sourceDir}/${language}.txt)
    list(APPEND rcFiles ${outDir}/${language}.rc)
  endforeach()
  string(REPLACE ";" "," languageArgument "${languages}")
  add_custom_command(
    OUTPUT ${outDir}/${cppName} ${rcFiles}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${sourceDir} -DLANGUAGES=${languageArgument}
            -DCPP_OUT=${outDir}/${cppName} -DRC_DIR=${outDir} -DSAME_IDS=${sameIds}
            -P ${QDX_LANGUAGE_GENERATOR}
    DEPENDS ${inputs} ${QDX_LANGUAGE_GENERATOR}
    COMMENT "Generating texts of ${languageArgument}"
    VERBATIM)
endfunction()

if(WIN32 AND QDX_TESTS)
  enable_language(RC)
endif()

file(MAKE_DIRECTORY ${QDX_GENERATED_DIR}/lang)
qdx_generate_language_texts(${CMAKE_SOURCE_DIR}/lang ${QDX_GENERATED_DIR}/lang builtin_text_tables.cpp ON
                            ${QDX_LANGUAGES})
target_sources(qdx_engine PRIVATE ${QDX_GENERATED_DIR}/lang/builtin_text_tables.cpp)
set(QDX_LANGUAGE_RC_FILES "")
foreach(language IN LISTS QDX_LANGUAGES)
  list(APPEND QDX_LANGUAGE_RC_FILES ${QDX_GENERATED_DIR}/lang/${language}.rc)
endforeach()

# The tests also build a table from texts that are awkward for both
# generators, and on Windows link every generated string table into the test
# program, so that what the resource compiler made of them can be compared with
# the compiled-in tables.
function(qdx_attach_language_tests)
  if(NOT TARGET engine_tests)
    return()
  endif()
  set(fixtureDir ${QDX_GENERATED_DIR}/lang_fixture)
  file(MAKE_DIRECTORY ${fixtureDir})
  qdx_generate_language_texts(${CMAKE_SOURCE_DIR}/tests/data/lang ${fixtureDir} tricky_text_table.cpp OFF Tricky)
  target_sources(engine_tests PRIVATE ${fixtureDir}/tricky_text_table.cpp)
  if(WIN32)
    set(wrapper ${fixtureDir}/all_string_tables.rc)
    file(WRITE ${wrapper}.in "#include \"Tricky.rc\"\n")
    foreach(language IN LISTS QDX_LANGUAGES)
      file(APPEND ${wrapper}.in "#include \"../lang/${language}.rc\"\n")
    endforeach()
    configure_file(${wrapper}.in ${wrapper} COPYONLY)
    set_source_files_properties(${wrapper} PROPERTIES
      OBJECT_DEPENDS "${QDX_LANGUAGE_RC_FILES};${fixtureDir}/Tricky.rc")
    target_sources(engine_tests PRIVATE ${wrapper} ${QDX_LANGUAGE_RC_FILES} ${fixtureDir}/Tricky.rc)
    set_source_files_properties(${QDX_LANGUAGE_RC_FILES} ${fixtureDir}/Tricky.rc PROPERTIES HEADER_FILE_ONLY ON)
  endif()
endfunction()
if(QDX_TESTS)
  cmake_language(DEFER CALL qdx_attach_language_tests)
endif()

# The generator refuses malformed language files with a message that says why.
if(QDX_TESTS)
  set(rejected ${CMAKE_SOURCE_DIR}/tests/data/lang/rejected)
  foreach(case "Duplicate|listed twice" "BadEscape|unknown escape" "NoTab|expected an identifier, one TAB"
                "RawTab|a tab inside a text" "TooBig|above 65535" "Reserved|reserved by the generator"
                "Left,Right|list different identifiers" "Missing|does not exist")
    string(REPLACE "|" ";" parts "${case}")
    list(GET parts 0 languages)
    list(GET parts 1 expected)
    string(REPLACE "," "_" name "${languages}")
    # CMake wraps long messages: any blank may have become a line break.
    string(REPLACE " " "[ \n]+" expected "${expected}")
    add_test(NAME language_texts_reject_${name}
      COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${rejected} -DLANGUAGES=${languages}
              -DCPP_OUT=${CMAKE_BINARY_DIR}/rejected_${name}.cpp -DRC_DIR=${CMAKE_BINARY_DIR}/rejected_${name}
              -DSAME_IDS=ON -P ${QDX_LANGUAGE_GENERATOR})
    set_tests_properties(language_texts_reject_${name} PROPERTIES PASS_REGULAR_EXPRESSION "${expected}")
  endforeach()
endif()
