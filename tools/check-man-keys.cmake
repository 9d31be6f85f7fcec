# Checks that krellon-editor's manual page shows the whole Keys and Mouse table, in order: every
# heading, and every line's keys followed by its action.
# Usage: cmake -DMAN=krellon-editor.1.gz -DKEYS=data/keys-and-mouse.txt -P check-man-keys.cmake

# Words apart by single spaces, whatever lines and columns they came in.
function(words text out)
    string(REGEX REPLACE "[ \t\r\n]+" " " text "${text}")
    set(${out} " ${text} " PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=1000 man -l "${MAN}"
                OUTPUT_VARIABLE page RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "man -l ${MAN} failed: ${status}")
endif()
# A typesetter's hyphens, minus signs and apostrophes read as the table writes them.
foreach(sign "‐" "−")
    string(REPLACE "${sign}" "-" page "${page}")
endforeach()
string(REPLACE "’" "'" page "${page}")
string(REPLACE ";" "@SEMICOLON@" page "${page}")
words("${page}" page)

file(READ "${KEYS}" table)
string(REPLACE ";" "@SEMICOLON@" table "${table}")
string(REPLACE "\r" "" table "${table}")
string(REPLACE "\n" ";" lines "${table}")
set(expected "")
foreach(line IN LISTS lines)
    if(line MATCHES "^== (.+)$")
        string(APPEND expected " ${CMAKE_MATCH_1}")
    elseif(line MATCHES "^([^#][^\t]*)\t(.+)$")
        string(APPEND expected " ${CMAKE_MATCH_1} ${CMAKE_MATCH_2}")
    endif()
endforeach()
words("KEYS AND MOUSE ${expected}" expected)
string(FIND "${page}" "${expected}" at)
if(at EQUAL -1)
    message(FATAL_ERROR "${MAN} lacks the Keys and Mouse table of ${KEYS} or has it out of order")
endif()
message(STATUS "${MAN}: the Keys and Mouse table is whole")
