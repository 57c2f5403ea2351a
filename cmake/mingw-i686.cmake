# Cross build of the 32-bit Windows DLL with clang and lld for MinGW-w64; its
# tests run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PELSHX_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-clang.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
