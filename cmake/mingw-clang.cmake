# clang and lld for a MinGW-w64 target, on Debian's MinGW-w64 runtime and the C
# and C++ libraries of its GCC (the posix thread model). Included by a
# toolchain file that sets PELSHX_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
# clang writes CodeView debugging information, from which lld writes PDBs
# (see codeview-pdb.cmake); GCC writes only DWARF.
set(CMAKE_SYSTEM_NAME Windows)

# clang 19 and its lld (Debian's clang-19 and lld-19): the first of Debian 12
# whose CodeView holds no path of the build machine, so that the PDBs are the
# same wherever the sources are built.
set(CMAKE_C_COMPILER /usr/lib/llvm-19/bin/clang)
set(CMAKE_CXX_COMPILER /usr/lib/llvm-19/bin/clang++)
set(CMAKE_C_COMPILER_TARGET ${PELSHX_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${PELSHX_MINGW_TRIPLE})
set(CMAKE_RC_COMPILER ${PELSHX_MINGW_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${PELSHX_MINGW_TRIPLE}-dlltool)
# GCC's directory, which Debian names "12-posix": clang takes its C++ library
# headers, its libraries and its crtbegin.o from there. crtbegin.o registers
# the unwind tables with GCC's unwinder, without which no exception is caught.
# The C++ library itself is linked from a copy (runtime-unwind-tables.cmake).
file(GLOB gcc_directories LIST_DIRECTORIES true /usr/lib/gcc/${PELSHX_MINGW_TRIPLE}/*-posix)
list(SORT gcc_directories COMPARE NATURAL ORDER DESCENDING)
list(GET gcc_directories 0 PELSHX_GCC_DIRECTORY)
if(NOT EXISTS ${PELSHX_GCC_DIRECTORY}/crtbegin.o)
    message(FATAL_ERROR "no GCC for ${PELSHX_MINGW_TRIPLE} (posix threads) under /usr/lib/gcc: "
                        "install g++-mingw-w64-*-posix")
endif()
set(CMAKE_C_FLAGS_INIT -B${PELSHX_GCC_DIRECTORY}/)
set(CMAKE_CXX_FLAGS_INIT -B${PELSHX_GCC_DIRECTORY}/)
# lld, and the posix thread library that GCC's libraries need, linked in
# (clang's driver adds only the libraries themselves).
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -l:libwinpthread.a")
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${PELSHX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
