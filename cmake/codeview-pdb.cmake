# Symbols for Windows debuggers (Visual Studio, WinDbg, crash dumps): CodeView
# in the objects, written by clang, and one PDB per linked program or DLL,
# written by lld beside it with the binary's name (PelShx_PlaySDK.pdb beside
# PelShx_PlaySDK.dll). The binary's debug directory names its PDB by file name
# alone, so that it is found beside the binary or on a symbol path. Neither file
# holds a path of the build machine: source files are named relative to the
# source tree (src\plugin\exports.cpp), so the same sources give the same bytes
# wherever they are built.
#
#   pelshx_codeview(TARGET...)  the targets' own sources compiled with CodeView
#   pelshx_pdb(TARGET...)       the same, and each target linked with its PDB

function(pelshx_codeview)
    foreach(target IN LISTS ARGN)
        # With the source tree's own prefix mapped away (pelshx_build_flags),
        # "." as the compilation directory leaves paths relative to the tree.
        target_compile_options(${target} PRIVATE -g -gcodeview -gno-codeview-command-line
                                                 -fdebug-compilation-dir=.)
    endforeach()
endfunction()

function(pelshx_pdb)
    pelshx_codeview(${ARGN})
    foreach(target IN LISTS ARGN)
        # --pdb= without a value: the PDB beside the binary, with its name. lld
        # makes relative paths absolute against -pdbsourcepath; "." keeps them
        # relative. --strip-all leaves the DWARF of the runtime libraries out:
        # the PDB holds the symbols.
        target_link_options(${target} PRIVATE LINKER:--pdb= LINKER:--Xlink=-pdbaltpath:%_PDB%
                                              LINKER:--Xlink=-pdbsourcepath:. LINKER:--strip-all)
    endforeach()
endfunction()
