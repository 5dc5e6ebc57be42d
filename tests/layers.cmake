# Checks that the include graph of the sources runs one way: a file includes the
# headers of its own module and of the modules below it, never of one above it or
# beside it. The libraries' include folders hold most of this already; this also
# catches a path written out to another folder and an include folder given to a
# library that should not see it.
# Run as: cmake -DSOURCE_DIR=<the src folder> -P layers.cmake
cmake_minimum_required(VERSION 3.25)

# Every module, bottom up, with the modules right below it, as the libraries link them.
set(modules
    "PlannerCore:"
    "Desktop:"
    "NotesEditor:PlannerCore"
    "NotesEditor/Editor:NotesEditor,Desktop"
    "VodarAzezaza/App:NotesEditor"
    "VodarAzezaza/Brand:VodarAzezaza/App,Desktop"
    "VodarAzezaza/Views:VodarAzezaza/Brand,NotesEditor/Editor"
    "VodarAzezaza/Focus:VodarAzezaza/Views"
    "VodarAzezaza/Shell:VodarAzezaza/Focus")
# Folders of the tree that hold no module's code.
set(outside "" "VodarAzezaza/Brand/font" "VodarAzezaza/desktop")

set(problems)
set(names)
foreach(entry IN LISTS modules)
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 module)
    list(LENGTH parts count)
    set(below)
    if(count GREATER 1)
        list(GET parts 1 direct)
        string(REPLACE "," ";" direct "${direct}")
        # What a module below may include, this one may too.
        foreach(lower IN LISTS direct)
            string(MAKE_C_IDENTIFIER "${lower}" key)
            list(APPEND below ${lower} ${below_${key}})
        endforeach()
        list(REMOVE_DUPLICATES below)
    endif()
    string(MAKE_C_IDENTIFIER "${module}" key)
    set(below_${key} ${below})
    list(APPEND names ${module})

    file(GLOB headers RELATIVE "${SOURCE_DIR}/${module}" "${SOURCE_DIR}/${module}/*.h")
    if(NOT EXISTS "${SOURCE_DIR}/${module}")
        list(APPEND problems "${module}: no such folder")
    endif()
    foreach(header IN LISTS headers)
        string(MAKE_C_IDENTIFIER "${header}" hkey)
        if(DEFINED owner_${hkey})
            list(APPEND problems "${header} is in ${owner_${hkey}} and in ${module}")
        endif()
        set(owner_${hkey} ${module})
    endforeach()
endforeach()

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h")
foreach(source IN LISTS sources)
    get_filename_component(module "${source}" DIRECTORY)
    if(module IN_LIST outside)
        continue()
    endif()
    if(NOT module IN_LIST names)
        list(APPEND problems "${source}: ${module} is not a module this check knows (add it to the list above)")
        continue()
    endif()
    string(MAKE_C_IDENTIFIER "${module}" key)
    file(STRINGS "${SOURCE_DIR}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" included "${line}")
        get_filename_component(header "${included}" NAME)
        string(MAKE_C_IDENTIFIER "${header}" hkey)
        if(NOT DEFINED owner_${hkey})
            continue()
        endif()
        set(owner ${owner_${hkey}})
        if(owner STREQUAL module OR owner IN_LIST below_${key})
            continue()
        endif()
        list(APPEND problems "${source} includes ${included} of ${owner}, which is not below ${module}")
    endforeach()
endforeach()

if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "the include graph does not run one way:\n  ${text}")
endif()
