# Checks the built plug-in DLL with objdump: exactly the two exports, imports
# only from Windows and SHXStrm.dll, and Windows Vista (6.0) as the least
# Windows version in its header.
#   cmake -DOBJDUMP=... -DDLL=... -P check_dll_tables.cmake
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "objdump could not read ${DLL}")
endif()

function(expect_equal what expected actual)
    if(NOT "${expected}" STREQUAL "${actual}")
        message(SEND_ERROR "${what}: expected [${expected}], got [${actual}]")
    else()
        message(STATUS "${what}: [${actual}]")
    endif()
endfunction()

string(REGEX MATCH "file format ([a-z0-9-]+)" _ "${dump}")
expect_equal("file format" "pei-i386" "${CMAKE_MATCH_1}")

# The least Windows version the loader accepts: Vista, which GetTickCount64 needs.
foreach(field MajorOSystemVersion MinorOSystemVersion MajorSubsystemVersion MinorSubsystemVersion)
    string(REGEX MATCH "${field}\t+([0-9]+)" _ "${dump}")
    list(APPEND versions "${CMAKE_MATCH_1}")
endforeach()
expect_equal("OS and subsystem versions" "6;0;6;0" "${versions}")

# Export names follow the "[Ordinal/Name Pointer] Table" heading, one "[ n] name" per line.
string(REGEX MATCH "Name Pointer\\] Table\n(\t\\[ *[0-9]+\\] [A-Za-z0-9_@]+\n)*" table "${dump}")
string(REGEX MATCHALL "\t\\[ *[0-9]+\\] [A-Za-z0-9_@]+" exports "${table}")
list(TRANSFORM exports REPLACE "^.* " "")
expect_equal("exports" "CreateSinglePlayerDll;ReleaseSinglePlayerDll" "${exports}")

string(REGEX MATCHALL "DLL Name: [A-Za-z0-9_.-]+" imported "${dump}")
list(TRANSFORM imported REPLACE "^DLL Name: " "")
set(allowed KERNEL32.dll msvcrt.dll USER32.dll ADVAPI32.dll ntdll.dll SHXStrm.dll)
foreach(dll IN LISTS imported)
    if(NOT dll IN_LIST allowed)
        message(SEND_ERROR "imports from ${dll}, which is neither part of Windows nor SHXStrm.dll")
    endif()
endforeach()
message(STATUS "imported DLLs: [${imported}]")

# The vendor functions of their list, imported by their undecorated names.
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/vendor_functions.cmake)
pelshx_vendor_functions(expected_vendor _)
list(SORT expected_vendor)
string(REGEX MATCH "DLL Name: SHXStrm.dll\n[^\n]*\n(\t[0-9a-f]+\t +[0-9]+ +[A-Za-z0-9_@]+\n)*" table "${dump}")
string(REGEX MATCHALL "  [A-Za-z0-9_@]+\n" vendor "${table}")
list(TRANSFORM vendor STRIP)
list(SORT vendor)
expect_equal("SHXStrm.dll imports" "${expected_vendor}" "${vendor}")
