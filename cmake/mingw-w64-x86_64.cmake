# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 compilers. The "-posix" variants
# use POSIX threads, which Qt's std::thread and std::mutex use need.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(tq_mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${tq_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tq_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${tq_mingw_triple}-windres)

# Libraries, headers and CMake packages come from the MinGW sysroot and from the prefixes named
# in CMAKE_PREFIX_PATH (the cross-built Qt and GoogleTest), never from the Linux system.
set(CMAKE_FIND_ROOT_PATH /usr/${tq_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
