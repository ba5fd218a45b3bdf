# What `cmake --install` (and so the Debian package, package/) puts where, in the GNU
# folders: `cmake --install build --prefix DIR` gives a tree that runs from DIR/bin.
#
#   tarnix_install_programs(TARGET...)   programs into bin/, and into the package
#
# Files a program reads at run time go into TARNIX_INSTALL_DATADIR (share/tarnix), installed
# beside the target that reads them:
#   install(DIRECTORY page/ DESTINATION ${TARNIX_INSTALL_DATADIR}/editor)
# An installed program finds that folder at TARNIX_DATADIR_FROM_BINDIR ("../share/tarnix")
# from its own directory, wherever the tree was installed.
include(GNUInstallDirs)
# Installing (and cpack) takes what is built and builds nothing: the suites and benchmarks
# are not part of the installed tree. Build tarnix_package_contents (package/) first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(TARNIX_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/tarnix)
file(RELATIVE_PATH TARNIX_DATADIR_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/tarnix)

# The installed programs, for package/ (the release builds exactly these).
set_property(GLOBAL PROPERTY TARNIX_INSTALLED_PROGRAMS "")
function(tarnix_install_programs)
  install(TARGETS ${ARGN} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set_property(GLOBAL APPEND PROPERTY TARNIX_INSTALLED_PROGRAMS ${ARGN})
endfunction()
