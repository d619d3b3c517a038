# Checks that every subsystem includes only from the subsystems below it. Run by the build
# (and once when configuring) as: cmake -DSOURCE_DIR=<project root> -P check_layers.cmake
#
# From the bottom: the program-wide state (app/module1.h) and platform/, then codec/, link/,
# the screens (login/, workbench/) and at the top the shell's start-up in app/. The screens
# may use the shell's window helpers and the about box; nothing below the screens may include
# a screen, and the simulated controller stands on its own.
cmake_minimum_required(VERSION 3.25)

set(state_header "app/module1.h")
set(allowed_platform "platform/")
set(allowed_codec "codec/;platform/;${state_header}")
set(allowed_link "link/;codec/;platform/;${state_header}")
set(allowed_login "login/;link/;codec/;platform/;${state_header};app/window_helpers.h")
set(allowed_workbench
    "workbench/;link/;codec/;platform/;${state_header};app/window_helpers.h;app/about.h")
set(allowed_sim "sim/")

set(violations "")
foreach(layer platform codec link login workbench sim)
    file(GLOB sources "${SOURCE_DIR}/${layer}/*.cpp" "${SOURCE_DIR}/${layer}/*.h")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z0-9_]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
            set(permitted FALSE)
            foreach(prefix IN LISTS allowed_${layer})
                string(FIND "${header}" "${prefix}" at)
                if(at EQUAL 0)
                    set(permitted TRUE)
                endif()
            endforeach()
            if(NOT permitted)
                file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
                string(APPEND violations "\n  ${shown} includes ${header}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "A subsystem includes from a layer above it or beside it:${violations}")
endif()
