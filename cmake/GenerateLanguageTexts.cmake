# Turns the language text files (lang/<Language>.txt, format in lang/README.md)
# into
#   - one C++ source with a table of (identifier, UTF-16 text) per language,
#     reached through `TextTable <Language>TextTable()` (core/builtin_texts.h);
#   - one resource script per language with a STRINGTABLE (UTF-8, code page
#     65001), for the resource-only language libraries.
#
# Run as a script:
#   cmake -DSOURCE_DIR=<folder of the .txt files> -DLANGUAGES=English,Japanese
#         -DCPP_OUT=<file.cpp> -DRC_DIR=<folder for the .rc files>
#         [-DSAME_IDS=ON] -P GenerateLanguageTexts.cmake
# With SAME_IDS every language must list exactly the same identifiers.
#
# CMake lists split at ";" and treat "[", "]" and "\" specially, so those
# characters are swapped for markers while the file is cut into lines and put
# back when the outputs are written.

cmake_minimum_required(VERSION 3.20)

foreach(required SOURCE_DIR LANGUAGES CPP_OUT RC_DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "GenerateLanguageTexts: ${required} is not set")
  endif()
endforeach()
string(REPLACE "," ";" languageList "${LANGUAGES}")

# Windows language identifiers (primary, sub) for the LANGUAGE statement.
set(LANGID_English "0x09, 0x01")
set(LANGID_Japanese "0x11, 0x01")

set(M_SEMI "@QDX_SEMICOLON@")
set(M_OPEN "@QDX_OPEN_BRACKET@")
set(M_CLOSE "@QDX_CLOSE_BRACKET@")
set(M_BACK "@QDX_BACKSLASH@")
set(M_LITBACK "@QDX_LITERAL_BACKSLASH@")
set(M_NL "@QDX_NEWLINE@")
set(M_TAB "@QDX_TAB@")

function(qdx_fail file line what)
  message(FATAL_ERROR "${file}:${line}: ${what}")
endfunction()

# Reads one language file into <lang>_IDS (sorted, as 5-digit keys) and
# <lang>_TEXT_<key> (the text with markers).
function(qdx_read_language lang)
  set(file "${SOURCE_DIR}/${lang}.txt")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "GenerateLanguageTexts: ${file} does not exist")
  endif()
  # A UTF-8 byte order mark at the start is allowed and skipped.
  file(READ "${file}" head LIMIT 3 HEX)
  if(head STREQUAL "efbbbf")
    file(READ "${file}" content OFFSET 3)
  else()
    file(READ "${file}" content)
  endif()
  string(FIND "${content}" "@QDX_" collision)
  if(NOT collision EQUAL -1)
    message(FATAL_ERROR "${file}: the text @QDX_ is reserved by the generator")
  endif()
  string(REPLACE "\r" "" content "${content}")
  string(REPLACE ";" "${M_SEMI}" content "${content}")
  string(REPLACE "[" "${M_OPEN}" content "${content}")
  string(REPLACE "]" "${M_CLOSE}" content "${content}")
  string(REPLACE "\\" "${M_BACK}" content "${content}")
  string(REPLACE "\n" ";" lines "${content}")

  set(ids "")
  set(lineNumber 0)
  foreach(line IN LISTS lines)
    math(EXPR lineNumber "${lineNumber} + 1")
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    if(NOT line MATCHES "^([0-9]+)\t(.*)$")
      qdx_fail("${file}" ${lineNumber} "expected an identifier, one TAB and the text")
    endif()
    set(idText "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
    string(LENGTH "${idText}" idDigits)
    if(idDigits GREATER 5)
      qdx_fail("${file}" ${lineNumber} "identifier ${idText} is above 65535")
    endif()
    if(idText GREATER 65535)
      qdx_fail("${file}" ${lineNumber} "identifier ${idText} is above 65535")
    endif()
    math(EXPR id "${idText}")
    string(FIND "${text}" "\t" rawTab)
    if(NOT rawTab EQUAL -1)
      qdx_fail("${file}" ${lineNumber} "a tab inside a text must be written \\t")
    endif()
    # Escapes, read left to right: a pair of backslashes first, so that
    # "\\n" stays a backslash followed by n.
    string(REPLACE "${M_BACK}${M_BACK}" "${M_LITBACK}" text "${text}")
    string(REPLACE "${M_BACK}n" "${M_NL}" text "${text}")
    string(REPLACE "${M_BACK}t" "${M_TAB}" text "${text}")
    string(FIND "${text}" "${M_BACK}" strayBackslash)
    if(NOT strayBackslash EQUAL -1)
      qdx_fail("${file}" ${lineNumber} "unknown escape (use \\n, \\t or \\\\)")
    endif()
    # Zero-padded keys sort numerically as text.
    string(LENGTH "${id}" digits)
    math(EXPR padding "5 - ${digits}")
    string(REPEAT "0" ${padding} zeros)
    set(key "${zeros}${id}")
    if(DEFINED ${lang}_TEXT_${key})
      qdx_fail("${file}" ${lineNumber} "identifier ${id} is listed twice")
    endif()
    set(${lang}_TEXT_${key} "${text}")
    set(${lang}_TEXT_${key} "${text}" PARENT_SCOPE)
    list(APPEND ids "${key}")
  endforeach()
  list(SORT ids)
  set(${lang}_IDS "${ids}" PARENT_SCOPE)
endfunction()

# The markers that stand for escapes and for characters CMake lists treat
# specially, turned back into C-style escapes and plain characters; the same
# for both kinds of literal.
function(qdx_unmark_literal text out)
  string(REPLACE "${M_LITBACK}" "\\\\" text "${text}")
  string(REPLACE "${M_NL}" "\\n" text "${text}")
  string(REPLACE "${M_TAB}" "\\t" text "${text}")
  string(REPLACE "${M_SEMI}" ";" text "${text}")
  string(REPLACE "${M_OPEN}" "[" text "${text}")
  string(REPLACE "${M_CLOSE}" "]" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Text with markers -> body of a C++ u"..." literal.
function(qdx_cpp_literal text out)
  string(REPLACE "\"" "\\\"" text "${text}")
  # "\?" keeps "??=" and its kind from ever being read as a trigraph.
  string(REPLACE "?" "\\?" text "${text}")
  qdx_unmark_literal("${text}" text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Text with markers -> body of a resource-script "..." string: quotes are
# doubled, backslash escapes as in C. The strings are left narrow on purpose:
# the resource compiler turns them into UTF-16 through the script's code page
# (65001, UTF-8), while the MinGW compiler takes the bytes of a wide L"..."
# string one by one and so garbles anything beyond ASCII.
function(qdx_rc_literal text out)
  string(REPLACE "\"" "\"\"" text "${text}")
  # The resource compiler's preprocessor would warn about "??=" and its kind:
  # the second "?" of such a triple is written as a hexadecimal escape.
  string(REGEX REPLACE "\\?\\?([=/'()!<>-])" "?\\\\x3F\\1" text "${text}")
  qdx_unmark_literal("${text}" text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(qdx_number key out)
  math(EXPR number "1${key} - 100000")
  set(${out} "${number}" PARENT_SCOPE)
endfunction()

foreach(lang IN LISTS languageList)
  if(NOT lang MATCHES "^[A-Za-z][A-Za-z0-9_]*$")
    message(FATAL_ERROR "GenerateLanguageTexts: '${lang}' is not a usable language name")
  endif()
  qdx_read_language(${lang})
endforeach()

if(SAME_IDS)
  list(GET languageList 0 first)
  foreach(lang IN LISTS languageList)
    if(NOT "${${lang}_IDS}" STREQUAL "${${first}_IDS}")
      set(missing "${${first}_IDS}")
      list(REMOVE_ITEM missing ${${lang}_IDS})
      set(extra "${${lang}_IDS}")
      list(REMOVE_ITEM extra ${${first}_IDS})
      message(FATAL_ERROR "GenerateLanguageTexts: ${lang}.txt and ${first}.txt list different identifiers "
                          "(missing in ${lang}: ${missing}; only in ${lang}: ${extra})")
    endif()
  endforeach()
endif()

# ---- C++ tables ---------------------------------------------------------------
set(cpp "// Generated from ${SOURCE_DIR} by GenerateLanguageTexts.cmake. Do not edit.\n")
string(APPEND cpp "#include \"core/builtin_texts.h\"\n\nnamespace qdx {\n\nnamespace {\n")
foreach(lang IN LISTS languageList)
  string(APPEND cpp "\nconst TextEntry k${lang}Texts[] = {\n")
  foreach(key IN LISTS ${lang}_IDS)
    qdx_number(${key} number)
    qdx_cpp_literal("${${lang}_TEXT_${key}}" literal)
    string(APPEND cpp "    {${number}, u\"${literal}\"},\n")
  endforeach()
  string(APPEND cpp "};\n")
endforeach()
string(APPEND cpp "\n}  // namespace\n")
foreach(lang IN LISTS languageList)
  string(APPEND cpp "\nTextTable ${lang}TextTable() {\n")
  string(APPEND cpp "    return {k${lang}Texts, static_cast<uint32_t>(sizeof k${lang}Texts / sizeof k${lang}Texts[0])};\n}\n")
endforeach()
string(APPEND cpp "\n}  // namespace qdx\n")

file(WRITE "${CPP_OUT}" "${cpp}")

# ---- Resource scripts ---------------------------------------------------------
file(MAKE_DIRECTORY "${RC_DIR}")
foreach(lang IN LISTS languageList)
  set(rc "// Generated from ${SOURCE_DIR}/${lang}.txt by GenerateLanguageTexts.cmake. Do not edit.\n")
  string(APPEND rc "#pragma code_page(65001)\n\n")
  if(DEFINED LANGID_${lang})
    string(APPEND rc "LANGUAGE ${LANGID_${lang}}\n\n")
  endif()
  string(APPEND rc "STRINGTABLE\nBEGIN\n")
  foreach(key IN LISTS ${lang}_IDS)
    qdx_number(${key} number)
    qdx_rc_literal("${${lang}_TEXT_${key}}" literal)
    string(APPEND rc "    ${number}, \"${literal}\"\n")
  endforeach()
  string(APPEND rc "END\n")
  file(WRITE "${RC_DIR}/${lang}.rc" "${rc}")
endforeach()
