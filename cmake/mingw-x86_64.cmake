# Cross build of the 64-bit Windows bridge DLL with clang and lld for
# MinGW-w64, as the 32-bit build; its tests run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PELSHX_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-clang.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine64-run.sh)
