# Checks that every folder includes only from itself and the folders below it. Run by the build
# (and once when configuring) as: cmake -DSOURCE_DIR=<project root> -P check_layers.cmake
# With -DSHOW_LAYERS=ON it also prints the table of what each folder may include.
#
# From the bottom:
#   platform/   our stand-in for the legacy platform, over Qt and the operating system (in
#               folders by topic: serial/, files/, widgets/, system/)
#   codec/      pure texts and numbers: no state, no files, no devices (so it includes none
#               of the folders, not even platform/)
#   link/       the exchange with the controller and its wire protocol
#   shell/      the program-wide state (Module1), window helpers, about box, splash, artwork
#   records/    the calibration records: the channel table, the report file, the calibration
#               log and its reader, the certificate, the verification of a channel against a
#               reference (its points, errors, uncertainties and verdicts); below every screen,
#               over codec/ and platform/ only
#   login/, workbench/   the screens; neither includes the other; the workbench uses records/
#   app/        start-up and main, over everything
# Beside them: sim/ (the simulated controller) stands on its own; bench/ and tests/ may
# include everything. A folder with sources that has no row here fails the check, so a new
# folder is placed in the layers before it is built. A row stands for a top-level folder with
# all the folders inside it: every source below platform/ is platform's, and an include is
# placed by the first folder of its path ("platform/serial/pdq.h" is platform).
cmake_minimum_required(VERSION 3.25)
get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

set(layers platform codec link shell records login workbench app sim bench tests)
set(below_platform "")
set(below_codec "")
set(below_link "codec;platform")
set(below_shell "link;codec;platform")
set(below_records "codec;platform")
set(below_login "shell;link;codec;platform")
set(below_workbench "records;shell;link;codec;platform")
set(below_app "login;workbench;records;shell;link;codec;platform")
set(below_sim "")
set(below_bench "app;login;workbench;records;shell;link;codec;platform;sim")
set(below_tests "bench;app;login;workbench;records;shell;link;codec;platform;sim")

if(SHOW_LAYERS)
    message("folder      may include (besides itself)")
    foreach(layer IN LISTS layers)
        string(REPLACE ";" ", " shown "${below_${layer}}")
        if(shown STREQUAL "")
            set(shown "-")
        endif()
        string(LENGTH "${layer}" width)
        math(EXPR pad "12 - ${width}")
        string(REPEAT " " ${pad} padding)
        message("${layer}${padding}${shown}")
    endforeach()
endif()

set(violations "")

# Every folder with sources has a row. Build trees, whatever their name, are not ours.
file(GLOB tops RELATIVE "${SOURCE_DIR}" LIST_DIRECTORIES true "${SOURCE_DIR}/*")
foreach(top IN LISTS tops)
    if(NOT IS_DIRECTORY "${SOURCE_DIR}/${top}" OR top IN_LIST layers OR top MATCHES "^\\."
       OR EXISTS "${SOURCE_DIR}/${top}/CMakeFiles")
        continue()
    endif()
    file(GLOB_RECURSE strays RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${top}/*.cpp"
         "${SOURCE_DIR}/${top}/*.h")
    if(strays)
        list(GET strays 0 first)
        string(APPEND violations "\n  ${first}: the folder ${top}/ has no place in the layers")
    endif()
endforeach()

foreach(layer IN LISTS layers)
    file(GLOB_RECURSE sources "${SOURCE_DIR}/${layer}/*.cpp" "${SOURCE_DIR}/${layer}/*.h")
    set(allowed "${layer};${below_${layer}}")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z0-9_]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[^\"]*\"([a-z0-9_]+)/.*$" "\\1" folder "${line}")
            if(NOT folder IN_LIST allowed)
                string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
                file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
                string(APPEND violations "\n  ${shown} includes ${header}")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "The folders break their layers:${violations}")
endif()
