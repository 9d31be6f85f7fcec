# The programs as Windows runs them (under Wine here): the Windows forms of the Linux build's
# tests of the programs themselves. Included from CMakeLists.txt, whose host_drive, offscreen
# and skipped_here it uses.

# The editor's command line needs no window for what it refuses. Its lines end in "\n" as on
# Linux: the program writes its standard streams as bytes.
add_test(NAME krellon_editor.AMissingPathEndsWithStatus2AndNoWindow
         COMMAND krellon-editor /no/such/folder)
set_tests_properties(krellon_editor.AMissingPathEndsWithStatus2AndNoWindow PROPERTIES
    PASS_REGULAR_EXPRESSION "^krellon-editor: /no/such/folder: no such file or folder\n$")
add_test(NAME krellon_editor.Version COMMAND krellon-editor --version)
set_tests_properties(krellon_editor.Version PROPERTIES
    PASS_REGULAR_EXPRESSION "^krellon-editor ${PROJECT_VERSION}\n$")
add_test(NAME krellon_editor.HelpAllListsQtsOptionsWithNoDisplay COMMAND krellon-editor --help-all)
set_tests_properties(krellon_editor.HelpAllListsQtsOptionsWithNoDisplay PROPERTIES
    PASS_REGULAR_EXPRESSION "^Usage: krellon-editor \\[options\\] .*--platform <platformName\\[:options\\]>.*--style <style>")
add_test(NAME krellon_editor.QtOptionsAreNoPaths
         COMMAND krellon-editor -style Fusion --reverse -stylesheet=my.qss -platform offscreen
                 /no/such/folder)
set_tests_properties(krellon_editor.QtOptionsAreNoPaths PROPERTIES
    PASS_REGULAR_EXPRESSION "^krellon-editor: /no/such/folder: no such file or folder\n$")
skipped_here(krellon_editor.QtOptionsReachQt
             "Qt's message for a missing platform goes to the debugger on Windows")
skipped_here(krellon_editor.WithoutADisplaySaysSoInOneLine
             "Windows always has a desktop to open the window on")

# krellon: no QtWidgets among the libraries it imports, read from its PE import table, and it
# runs on a demo folder of this build's own.
add_test(NAME krellon.DemoFolder COMMAND krellon-demo ${host_drive}${CMAKE_BINARY_DIR}/cli-demo)
set_tests_properties(krellon.DemoFolder PROPERTIES FIXTURES_SETUP cli_demo)
find_program(MINGW_OBJDUMP NAMES ${CMAKE_CXX_COMPILER_TARGET}-objdump x86_64-w64-mingw32-objdump
             REQUIRED)
add_test(NAME krellon.LinksNoWidgets
         COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${MINGW_OBJDUMP} -DPROGRAM=$<TARGET_FILE:krellon>
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/ImportsNoWidgets.cmake)
add_test(NAME krellon.RendersWithNoDisplay
         COMMAND krellon render ${host_drive}${CMAKE_BINARY_DIR}/cli-demo/Demo.bds --board 2
                 -o ${host_drive}${CMAKE_BINARY_DIR}/krellon-no-display.png)
add_test(NAME krellon.InfoWithNoDisplay
         COMMAND krellon info ${host_drive}${CMAKE_BINARY_DIR}/cli-demo/Demo.bds)
set_tests_properties(krellon.InfoWithNoDisplay PROPERTIES
    PASS_REGULAR_EXPRESSION "board set \"Krellon Demo\"" FIXTURES_REQUIRED cli_demo)
set_tests_properties(krellon.RendersWithNoDisplay PROPERTIES FIXTURES_REQUIRED cli_demo)

# The same pixels and bytes as the Linux build's krellon, for every board of the demo folder.
if(KRELLON_LINUX_BUILD AND EXISTS ${KRELLON_LINUX_BUILD}/krellon)
    add_test(NAME krellon.SamePixelsAndBytesAsOnLinux
             COMMAND ${CMAKE_SOURCE_DIR}/tools/windows-parity.sh ${KRELLON_LINUX_BUILD}/krellon
                     ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:krellon>
                     ${CMAKE_BINARY_DIR}/parity)
else()
    skipped_here(krellon.SamePixelsAndBytesAsOnLinux
                 "no Linux build to compare with (configure with -DKRELLON_LINUX_BUILD=DIR)")
endif()

# The Linux desktop's files are checked by the Linux build.
foreach(name DesktopEntryIsValid MetainfoIsValid MimeTypesAreWellFormed
        ImageFilesAreKnownByTheirContent ManualPageHasTheKeysAndMouseTable)
    skipped_here(data.${name} "a Linux desktop file, checked by the Linux build")
endforeach()
