# The Microsoft ABI without Microsoft's tools, for building the package's
# examples through their CMakeLists.txt as Visual Studio would: clang for
# <arch>-pc-windows-msvc and lld-link, over msvcrt.dll with the declarations
# of msvc/ and its start-up. From the command line: PELSHX_MSVC_ARCH (i686 or
# x86_64) and PELSHX_MSVC_RUNTIME, the folder that holds msvc/startup.c
# compiled (startup.obj) and the import libraries msvcrt.lib and kernel32.lib.
# Flags of one's own go in the CFLAGS and CXXFLAGS variables of the
# environment, which CMake puts before these.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${PELSHX_MSVC_ARCH})
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PELSHX_MSVC_ARCH PELSHX_MSVC_RUNTIME)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${PELSHX_MSVC_ARCH}-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET ${PELSHX_MSVC_ARCH}-pc-windows-msvc)
# No Windows SDK and no C runtime's headers: clang's own <stdint.h> and
# <stddef.h> stand alone when freestanding.
# Paths are quoted for the shell: the checkout's may hold spaces.
set(CMAKE_C_FLAGS_INIT "-ffreestanding -isystem \"${CMAKE_CURRENT_LIST_DIR}/msvc\"")
set(CMAKE_CXX_FLAGS_INIT "${CMAKE_C_FLAGS_INIT} -fno-exceptions -fno-rtti")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Xlinker /nodefaultlib -Xlinker /entry:HostEntry \"${PELSHX_MSVC_RUNTIME}/startup.obj\" \
\"${PELSHX_MSVC_RUNTIME}/msvcrt.lib\" \"${PELSHX_MSVC_RUNTIME}/kernel32.lib\"")
# Not the Windows SDK's libraries, which the platform's defaults name.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
