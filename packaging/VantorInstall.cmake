# Where an install puts things, and install_cli() for the command-line tool.
#
# The install prefix is the program folder: AppVantor, the korvane library beside it, the
# dosdevices folder and the command-line tools, self-contained and relocatable (every program finds
# the library through RUNPATH $ORIGIN). `cmake --install` puts exactly the portable folder there.
# The component System (not in a plain install) adds what a system install needs outside the folder:
# desktop entry, icon, command links, manual pages and the pkg-config file, under
# VANTOR_SYSTEM_PREFIX. The Debian package holds both.
include(GNUInstallDirs)

set(VANTOR_SYSTEM_PREFIX /usr CACHE PATH
    "Where the System install component puts the desktop entry, icon, command links, manual pages and pkg-config file")

# pkg-config's own search path for the machine's architecture (/usr/lib/x86_64-linux-gnu/pkgconfig).
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(VANTOR_SYSTEM_PKGCONFIGDIR ${VANTOR_SYSTEM_PREFIX}/lib/${CMAKE_LIBRARY_ARCHITECTURE}/pkgconfig)
else()
  set(VANTOR_SYSTEM_PKGCONFIGDIR ${VANTOR_SYSTEM_PREFIX}/lib/pkgconfig)
endif()

# The program's entry in the desktop's menu (Linux) and the Start menu (Windows).
set(VANTOR_MENU_NAME "KELDRA Vantor demo application")

# The components: the programs and the library they load, the C header and link-time name, what
# only the portable folder holds, and the system integration.
set(VANTOR_COMPONENT_RUNTIME Runtime)
set(VANTOR_COMPONENT_DEVELOPMENT Development)
set(VANTOR_COMPONENT_PORTABLE Portable)
set(VANTOR_COMPONENT_SYSTEM System)

# Folders made by an install (and so in the packages) are rwxr-xr-x whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Builds everything an install takes, and nothing else (scripts/package builds only this). An
# install or cpack does not build the whole tree (tests, benchmarks) first: build this target,
# or everything, before.
add_custom_target(vantor_installed)
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Installs the executable `target` into the program folder like AppVantor, its manual page
# `manpage` (troff source, compressed at build time) into section 1, and a link
# VANTOR_SYSTEM_PREFIX/bin/<target> to it. The link keeps the tool in its folder: the driver finds
# dosdevices beside the running executable through /proc/self/exe, which names the link's target.
function(install_cli target manpage)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "\$ORIGIN")
  install(TARGETS ${target} RUNTIME DESTINATION . COMPONENT ${VANTOR_COMPONENT_RUNTIME})
  add_dependencies(vantor_installed ${target})

  get_filename_component(page ${manpage} ABSOLUTE)
  get_filename_component(page_name ${page} NAME)
  set(page_gz ${CMAKE_CURRENT_BINARY_DIR}/${page_name}.gz)
  # -n: no name or time stamp in the archive, so that the same page gives the same bytes.
  add_custom_command(OUTPUT ${page_gz}
    COMMAND gzip -9 -n -c ${page} > ${page_gz}
    DEPENDS ${page}
    VERBATIM)
  add_custom_target(${target}_manpage ALL DEPENDS ${page_gz})
  add_dependencies(vantor_installed ${target}_manpage)
  install(FILES ${page_gz}
    DESTINATION ${VANTOR_SYSTEM_PREFIX}/${CMAKE_INSTALL_MANDIR}/man1
    COMPONENT ${VANTOR_COMPONENT_SYSTEM} EXCLUDE_FROM_ALL)

  set(link ${CMAKE_CURRENT_BINARY_DIR}/command-link/${target})
  file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/command-link)
  file(CREATE_LINK ${CMAKE_INSTALL_PREFIX}/${target} ${link} SYMBOLIC)
  install(FILES ${link}
    DESTINATION ${VANTOR_SYSTEM_PREFIX}/${CMAKE_INSTALL_BINDIR}
    COMPONENT ${VANTOR_COMPONENT_SYSTEM} EXCLUDE_FROM_ALL)

  # For the install tests: the programs of the folder and the commands on PATH.
  set_property(GLOBAL APPEND PROPERTY VANTOR_INSTALLED_PROGRAMS ${target})
  set_property(GLOBAL APPEND PROPERTY VANTOR_COMMAND_LINKS ${target})
  set_property(GLOBAL APPEND PROPERTY VANTOR_MANUAL_PAGES ${page_name}.gz)
endfunction()
