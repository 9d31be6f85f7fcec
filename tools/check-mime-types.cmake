# The file types as a desktop finds them: krellon.xml goes into a mime database of its own, read
# without errors, and GLib's lookup names the game's image file by its content while a disk
# image of the same extension stays one.
# Usage: cmake -DXML=krellon.xml -DGAME_IMG=Bricks.img -DWORK=DIR -P check-mime-types.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/mime/packages")
file(COPY "${XML}" DESTINATION "${WORK}/mime/packages")
execute_process(COMMAND update-mime-database "${WORK}/mime" ERROR_VARIABLE errors
                OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR errors MATCHES "Error|Warning|Unknown")
    message(FATAL_ERROR "update-mime-database refuses ${XML}: ${errors}")
endif()

# A disk image: no game header.
string(ASCII 235 60 144 1 2 3 4 5 6 7 8 disk)
file(WRITE "${WORK}/disk.img" "${disk}")
file(COPY_FILE "${GAME_IMG}" "${WORK}/game.img")
foreach(case "game.img=application/x-krellon-images" "disk.img=application/x-raw-disk-image")
    string(REPLACE "=" ";" case "${case}")
    list(GET case 0 name)
    list(GET case 1 type)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_DATA_HOME=${WORK} XDG_DATA_DIRS=/usr/share
                            gio info -a standard::content-type "${WORK}/${name}"
                    OUTPUT_VARIABLE info RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT info MATCHES "content-type: ${type}\n")
        message(FATAL_ERROR "${name}: expected ${type}, gio says: ${info}")
    endif()
endforeach()
