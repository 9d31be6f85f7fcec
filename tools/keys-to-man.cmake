# Writes the KEYS AND MOUSE section of krellon-editor's manual page, as a help2man include file,
# from the Keys and Mouse table the editor shows (data/keys-and-mouse.txt): a subsection per
# "== Heading" line, a tagged paragraph per "KEYS<TAB>ACTION" line with the keys in bold.
# Usage: cmake -DKEYS=data/keys-and-mouse.txt -DOUT=keys.h2m -P keys-to-man.cmake

# Text as roff shows it: a backslash, a minus, a quote and the one sign beyond ASCII escaped.
function(roff_text text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REPLACE "×" "\\(mu" text "${text}")
    string(REPLACE "\"" "\\(dq" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(READ "${KEYS}" table)
# Semicolons would split CMake's list of lines.
string(REPLACE ";" "@SEMICOLON@" table "${table}")
string(REPLACE "\r" "" table "${table}")
string(REPLACE "\n" ";" lines "${table}")
set(man "[KEYS AND MOUSE]\n")
foreach(line IN LISTS lines)
    if(line STREQUAL "" OR line MATCHES "^#")
        continue()
    elseif(line MATCHES "^== (.+)$")
        roff_text("${CMAKE_MATCH_1}" heading)
        string(APPEND man ".SS \"${heading}\"\n")
    elseif(line MATCHES "^([^\t]+)\t([^\t]+)$")
        roff_text("${CMAKE_MATCH_1}" keys)
        roff_text("${CMAKE_MATCH_2}" action)
        # \& keeps an action starting with a dot from reading as a request.
        string(APPEND man ".TP\n\\fB${keys}\\fR\n\\&${action}\n")
    else()
        message(FATAL_ERROR "${KEYS}: neither \"== Heading\" nor \"KEYS<TAB>ACTION\": ${line}")
    endif()
endforeach()
string(REPLACE "@SEMICOLON@" ";" man "${man}")
file(WRITE "${OUT}" "${man}")
