# cmake -DINPUT=<file> -DOUTPUT=<header> -DNAME=<constant> -P EmbedScript.cmake
# Writes a header holding the file (a script, a page) as one string constant.
file(READ "${INPUT}" content)
string(FIND "${content}" ")tvrn2js\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw-string delimiter")
endif()
file(WRITE "${OUTPUT}.tmp"
  "#pragma once\n// Generated from ${INPUT}; edit that file instead.\nnamespace tvrn2 {\n"
  "inline constexpr char ${NAME}[] = R\"tvrn2js(${content})tvrn2js\";\n}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
