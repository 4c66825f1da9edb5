# Where an installed tree keeps its parts (GNUInstallDirs), and the private
# library folder as the programs find it: relative to their own folder, so
# that a tree moved with `cmake --install --prefix` or unpacked elsewhere
# still finds its recorder library and shim.
include(GNUInstallDirs)
# Debian keeps a package's documents under its own lower-case name.
set(TIDEMARK_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tidemark)
set(TIDEMARK_PRIVATE_LIBDIR ${CMAKE_INSTALL_LIBDIR}/tidemark)
file(RELATIVE_PATH TIDEMARK_PRIVATE_LIBDIR_FROM_BINDIR
     ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/tidemark)

# The programs' run path: their own folder and their private library
# folder, in the build tree and once installed (where it is the private
# folder alone). The build tree's is the longer one on purpose: CMake pads
# a shorter build run path with empty entries to make room for the install
# one, and the dynamic loader searches the current folder for an empty
# entry. The library transport looks in both folders by absolute path
# anyway; the run path only matters to the dynamic loader's own search.
function(tidemark_program_run_path target)
  set_target_properties(${target} PROPERTIES
    BUILD_RPATH "$ORIGIN:$ORIGIN/${TIDEMARK_PRIVATE_LIBDIR_FROM_BINDIR}"
    INSTALL_RPATH "$ORIGIN/${TIDEMARK_PRIVATE_LIBDIR_FROM_BINDIR}")
endfunction()
