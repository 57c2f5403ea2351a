# GCC's C++ library as the Windows builds link it: a copy in which lld keeps
# the unwind tables of every function.
#
# GCC gives each function it instantiates in its own section (std::string's
# members, for one) an unwind table in a section of its own as well:
# .eh_frame$<function> for i686, .pdata$<function> and .xdata$<function> for
# x86-64. Debian's libstdc++.a holds no symbol for those sections, and lld,
# which ties such a section to its function through that symbol alone, leaves
# them all out. The library's own frames then have no unwind information: an
# exception thrown through one (std::bad_alloc from a std::string that grows)
# is never caught and the program ends in std::terminate. In the copy those
# sections are renamed to the plain .eh_frame, .pdata and .xdata, which every
# linker keeps whole, in the order of the objects. The entry of a function
# whose duplicate the link keeps from another object stays unrelocated (lld
# leaves relocations into discarded sections alone for MinGW): its address
# lies outside the code and no lookup ever finds it.
#
# Included by the project, it makes the copy in the build tree and has every
# target link it instead of GCC's; run with
#   cmake -DOBJDUMP=... -DOBJCOPY=... -DINPUT=... -DOUTPUT=... -P runtime-unwind-tables.cmake
# it makes the copy.

if(CMAKE_SCRIPT_MODE_FILE)
    execute_process(COMMAND ${OBJDUMP} -h ${INPUT} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "\\.(eh_frame|pdata|xdata)\\$[^ \n]+" sections "${headers}")
    list(REMOVE_DUPLICATES sections)
    set(renames)
    foreach(section IN LISTS sections)
        string(REGEX REPLACE "\\$.*" "" plain "${section}")
        list(APPEND renames --rename-section "${section}=${plain},contents,alloc,load,readonly,data")
    endforeach()
    execute_process(COMMAND ${OBJCOPY} --enable-deterministic-archives ${renames} ${INPUT} ${OUTPUT}
                    COMMAND_ERROR_IS_FATAL ANY)
    return()
endif()

find_program(MINGW_OBJDUMP ${PELSHX_MINGW_TRIPLE}-objdump REQUIRED)
find_program(MINGW_OBJCOPY ${PELSHX_MINGW_TRIPLE}-objcopy REQUIRED)
set(pelshx_runtime_directory ${PROJECT_BINARY_DIR}/runtime)
add_custom_command(OUTPUT ${pelshx_runtime_directory}/libstdc++.a
    COMMAND ${CMAKE_COMMAND} -E make_directory ${pelshx_runtime_directory}
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${MINGW_OBJDUMP} -DOBJCOPY=${MINGW_OBJCOPY}
            -DINPUT=${PELSHX_GCC_DIRECTORY}/libstdc++.a -DOUTPUT=${pelshx_runtime_directory}/libstdc++.a
            -P ${CMAKE_CURRENT_LIST_FILE}
    DEPENDS ${PELSHX_GCC_DIRECTORY}/libstdc++.a ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "GCC's C++ library with every function's unwind table kept")
add_custom_target(pelshx_runtime DEPENDS ${pelshx_runtime_directory}/libstdc++.a)
add_dependencies(pelshx_build_flags pelshx_runtime)
# Instead of GCC's, by a path relative to where each target is linked, as lld
# writes it into the PDBs; lld takes an archive from anywhere on the line.
target_link_options(pelshx_build_flags INTERFACE -nostdlib++
    $<PATH:RELATIVE_PATH,${pelshx_runtime_directory}/libstdc++.a,$<TARGET_PROPERTY:BINARY_DIR>>)
