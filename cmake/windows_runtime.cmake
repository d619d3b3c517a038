# What a Windows build needs beside its programs to start: Qt's DLLs, the windows and offscreen
# platform plugins and the MinGW runtime DLLs. They are copied beside the built programs (so
# the tests run under Wine as they are) and installed into the bundle's bin/ folder. Qt is
# LGPL: its libraries ship as DLLs the technician could replace, never linked in.

get_target_property(tq_qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
if(NOT tq_qt_core_dll)
    get_target_property(tq_qt_core_dll Qt6::Core IMPORTED_LOCATION)
endif()
get_filename_component(tq_qt_bin_dir "${tq_qt_core_dll}" DIRECTORY)
get_filename_component(tq_qt_prefix "${tq_qt_bin_dir}" DIRECTORY)

set(tq_windows_dlls)
foreach(module Core Gui Widgets)
    list(APPEND tq_windows_dlls "${tq_qt_bin_dir}/Qt6${module}.dll")
endforeach()
set(tq_windows_test_dlls "${tq_qt_bin_dir}/Qt6Test.dll")

# The compiler's own runtime: C++ library, GCC support and POSIX threads.
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                    OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${runtime_path}")
        # Debian keeps the threads library apart from the compiler's own files.
        find_file(runtime_path_found ${runtime} PATHS /usr/${tq_mingw_triple}/lib
                  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
        set(runtime_path "${runtime_path_found}")
        unset(runtime_path_found CACHE)
    endif()
    if(NOT EXISTS "${runtime_path}")
        message(FATAL_ERROR "The MinGW runtime library ${runtime} was not found.")
    endif()
    list(APPEND tq_windows_dlls "${runtime_path}")
endforeach()

# The windows plugin shows the tool; the offscreen one lets --certificate run without a desktop.
set(tq_windows_plugins "${tq_qt_prefix}/plugins/platforms/qwindows.dll"
                       "${tq_qt_prefix}/plugins/platforms/qoffscreen.dll")
# The native look of Windows' own dialogs and controls.
set(tq_windows_style_plugins "${tq_qt_prefix}/plugins/styles/qwindowsvistastyle.dll")

foreach(file ${tq_windows_dlls} ${tq_windows_test_dlls} ${tq_windows_plugins}
        ${tq_windows_style_plugins})
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "${file} is missing: run scripts/windows-deps.")
    endif()
endforeach()

file(COPY ${tq_windows_dlls} ${tq_windows_test_dlls} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
file(COPY ${tq_windows_plugins} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/platforms)
file(COPY ${tq_windows_style_plugins} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/styles)

install(FILES ${tq_windows_dlls} DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${tq_windows_plugins} DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
install(FILES ${tq_windows_style_plugins} DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)

# The release bundle carries no debugging symbols: the programs are stripped by CPack itself,
# and Qt's and the runtime's DLLs here, as they are installed (the runtime's C++ library alone
# is 24 MB of symbols). The build tree keeps them whole, for the debugger.
set(tq_windows_installed_dlls)
foreach(file ${tq_windows_dlls})
    get_filename_component(name "${file}" NAME)
    list(APPEND tq_windows_installed_dlls "${CMAKE_INSTALL_BINDIR}/${name}")
endforeach()
foreach(file ${tq_windows_plugins})
    get_filename_component(name "${file}" NAME)
    list(APPEND tq_windows_installed_dlls "${CMAKE_INSTALL_BINDIR}/platforms/${name}")
endforeach()
foreach(file ${tq_windows_style_plugins})
    get_filename_component(name "${file}" NAME)
    list(APPEND tq_windows_installed_dlls "${CMAKE_INSTALL_BINDIR}/styles/${name}")
endforeach()
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        foreach(dll ${tq_windows_installed_dlls})
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
                                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${dll}\"
                            RESULT_VARIABLE stripped)
            if(NOT stripped EQUAL 0)
                message(FATAL_ERROR \"Stripping \${dll} failed\")
            endif()
        endforeach()
    endif()")
