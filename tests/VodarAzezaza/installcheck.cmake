# Installs the build into a scratch prefix whose name holds a space, a '$' and a '%',
# and checks that the executable arrives with its icon and with a desktop entry that
# makes it the handler of "vodarazezaza:" links, that the desktop's own validator
# accepts, and whose Exec line, read back as the desktop reads it, names the installed
# executable.
# Run as: cmake -DBUILD_DIR=<build> -DPREFIX=<scratch folder> -P installcheck.cmake
set(prefix "${PREFIX}/my $HOME 100%")
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(executable "${prefix}/bin/VodarAzezaza")
set(entry "${prefix}/share/applications/app.pemby.Planner.desktop")
set(icon "${prefix}/share/icons/hicolor/scalable/apps/app.pemby.Planner.svg")
foreach(path IN ITEMS "${executable}" "${entry}" "${icon}")
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

file(STRINGS "${entry}" lines)
foreach(expected IN ITEMS
        "[Desktop Entry]"
        "Type=Application"
        "Name=Pemby Planner"
        "Icon=app.pemby.Planner"
        "StartupWMClass=Pemby Planner"
        "MimeType=x-scheme-handler/vodarazezaza;")
    list(FIND lines "${expected}" found)
    if(found EQUAL -1)
        message(FATAL_ERROR "the desktop entry lacks the line: ${expected}\n${lines}")
    endif()
endforeach()

find_program(VALIDATE desktop-file-validate)
if(NOT VALIDATE)
    message(FATAL_ERROR "desktop-file-validate is missing (scripts/deps.sh installs it)")
endif()
execute_process(COMMAND "${VALIDATE}" "${entry}" RESULT_VARIABLE result OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT result EQUAL 0 OR NOT said STREQUAL "")
    message(FATAL_ERROR "desktop-file-validate rejects the entry:\n${said}")
endif()

# The Exec line as the desktop reads it: first the string escapes, then the quoting,
# then the doubled '%'.
set(exec "")
foreach(line IN LISTS lines)
    if(line MATCHES "^Exec=(.*)$")
        set(exec "${CMAKE_MATCH_1}")
    endif()
endforeach()
if(NOT exec MATCHES "^\"(.*)\" %u$")
    message(FATAL_ERROR "the Exec line is not one quoted path and %u: ${exec}")
endif()
set(path "${CMAKE_MATCH_1}")
string(REPLACE "\\\\" "\\" path "${path}")
foreach(c IN ITEMS "$" "\"" "`")
    string(REPLACE "\\${c}" "${c}" path "${path}")
endforeach()
string(REPLACE "\\\\" "\\" path "${path}")
string(REPLACE "%%" "%" path "${path}")
if(NOT path STREQUAL executable)
    message(FATAL_ERROR "the Exec line names ${path}, not ${executable}")
endif()
