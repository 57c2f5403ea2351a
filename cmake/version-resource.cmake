# pelshx_version_resource(TARGET DESCRIPTION): gives the DLL or program TARGET
# a Windows version resource with the project's version as file and product
# version, the product name, DESCRIPTION and the file's own name.

set(pelshx_version_template ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)

function(pelshx_version_resource target description)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL SHARED_LIBRARY)
        set(VERSION_FILE_TYPE VFT_DLL)
        set(suffix ${CMAKE_SHARED_LIBRARY_SUFFIX})
    else()
        set(VERSION_FILE_TYPE VFT_APP)
        set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
    endif()
    set(VERSION_DESCRIPTION ${description})
    set(VERSION_INTERNAL_NAME ${target})
    set(VERSION_FILE_NAME ${target}${suffix})
    set(resource ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
    configure_file(${pelshx_version_template} ${resource} @ONLY)
    target_sources(${target} PRIVATE ${resource})
endfunction()
