# The vendor library's functions, read from their one list in
# src/vendor/shx_strm.h (the FUNCTION(id, name, parameters) lines of
# SHX_STRM_FUNCTIONS).
#   pelshx_vendor_functions(<names> <exports>)
# sets <names> to the function names and <exports> to the same names with the
# bytes their arguments take on the 32-bit stack (4 each), as a module-definition
# file lists __stdcall functions: SHX_PlayStrm_SetWnd@12.
set(PELSHX_VENDOR_HEADER ${CMAKE_CURRENT_LIST_DIR}/../src/vendor/shx_strm.h)

function(pelshx_vendor_functions names_var exports_var)
    file(READ ${PELSHX_VENDOR_HEADER} header)
    string(REPLACE "\\\n" " " header "${header}")
    string(REGEX MATCHALL "FUNCTION\\([A-Z_]+, [A-Za-z_]+, *\\([^)]*\\)\\)" entries "${header}")
    set(names)
    set(exports)
    foreach(entry IN LISTS entries)
        string(REGEX MATCH "FUNCTION\\([A-Z_]+, ([A-Za-z_]+), *\\(([^)]*)\\)\\)" _ "${entry}")
        set(name ${CMAKE_MATCH_1})
        set(parameters "${CMAKE_MATCH_2}")
        if(parameters STREQUAL "void")
            set(count 0)
        else()
            string(REGEX MATCHALL "," commas "${parameters}")
            list(LENGTH commas count)
            math(EXPR count "${count} + 1")
        endif()
        math(EXPR bytes "${count} * 4")
        list(APPEND names ${name})
        list(APPEND exports ${name}@${bytes})
    endforeach()
    if(NOT names)
        message(FATAL_ERROR "no vendor functions found in ${PELSHX_VENDOR_HEADER}")
    endif()
    set(${names_var} ${names} PARENT_SCOPE)
    set(${exports_var} ${exports} PARENT_SCOPE)
endfunction()
