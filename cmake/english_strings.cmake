# Writes OUT, a C++ header with the update tool's English string table, from the resource IDs
# (RESOURCE_H) and the English script (RC): one constant per string, named after its ID without
# the IDS_ prefix, holding the number and the text. brg40 prints the tool's own words this way,
# and they cannot drift from the dialog's.
#   cmake -DRESOURCE_H=... -DRC=... -DOUT=... -P english_strings.cmake
file(STRINGS "${RESOURCE_H}" defines REGEX "^#define IDS_[A-Z0-9_]+ [0-9]+")
foreach(line IN LISTS defines)
    string(REGEX MATCH "^#define (IDS_[A-Z0-9_]+) ([0-9]+)" _ "${line}")
    set(id_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
endforeach()

file(STRINGS "${RC}" lines ENCODING UTF-8)
set(in_table OFF)
set(body "")
foreach(line IN LISTS lines)
    if(line MATCHES "^STRINGTABLE")
        set(in_table ON)
    elseif(in_table AND line MATCHES "^END")
        set(in_table OFF)
    elseif(in_table AND line MATCHES "^[ \t]*(IDS_[A-Z0-9_]+)[ \t]+\"(.*)\"[ \t]*$")
        set(name ${CMAKE_MATCH_1})
        set(text "${CMAKE_MATCH_2}")
        if(NOT DEFINED id_${name})
            message(FATAL_ERROR "${RC}: ${name} is not in ${RESOURCE_H}")
        endif()
        string(REPLACE "\"\"" "\\\"" text "${text}")  # a quote inside an RC string is written twice
        string(REGEX REPLACE "^IDS_" "" short ${name})
        string(APPEND body "constexpr EnglishString ${short}{${id_${name}}, \"${text}\"};\n")
    endif()
endforeach()
if(body STREQUAL "")
    message(FATAL_ERROR "${RC}: no STRINGTABLE entries found")
endif()

get_filename_component(resource_name "${RESOURCE_H}" NAME)
get_filename_component(rc_name "${RC}" NAME)
file(WRITE "${OUT}.new" "// Generated at build time from the update tool's ${resource_name} and ${rc_name}; do not edit.
#ifndef BRG40_ENGLISH_STRINGS_H
#define BRG40_ENGLISH_STRINGS_H

// A string of the update tool's string table: its ID and its English text.
struct EnglishString {
    unsigned id;
    const char* text;
};

namespace en {
${body}}  // namespace en

#endif
")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
