# Installs the build into a scratch prefix and checks that the executable arrives
# with the desktop entry that makes it the handler of "vodarazezaza:" links.
# Run as: cmake -DBUILD_DIR=<build> -DPREFIX=<scratch prefix> -P installcheck.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(executable "${PREFIX}/bin/VodarAzezaza")
set(entry "${PREFIX}/share/applications/app.pemby.Planner.desktop")
foreach(path IN ITEMS "${executable}" "${entry}")
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()

file(STRINGS "${entry}" lines)
foreach(expected IN ITEMS
        "[Desktop Entry]"
        "Type=Application"
        "Name=Pemby Planner"
        "Exec=\"${executable}\" %u"
        "MimeType=x-scheme-handler/vodarazezaza;")
    list(FIND lines "${expected}" found)
    if(found EQUAL -1)
        message(FATAL_ERROR "the desktop entry lacks the line: ${expected}\n${lines}")
    endif()
endforeach()
