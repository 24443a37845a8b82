# What `cmake --install` lays out under its prefix, by component (each a Debian package, see
# Packaging.cmake): lib (the shared libraries), dev (headers, CMake package, pkg-config file),
# tools (brick, bricksim, worlds, examples, udev rule, man pages, bash completion) and prolog
# (the pack, installed by brickpreds/). Nothing installed names the build tree or the
# configure-time prefix, so an installed tree may be moved as a whole.
include(CMakePackageConfigHelpers)

# protocol: the header-only telegram layouts the public headers build on.
install(TARGETS protocol comm brickctl EXPORT brickctlTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
set(brick_header_dirs link/include/comm brickctl/include/brick)
if(EXISTS ${PROJECT_SOURCE_DIR}/protocol/include)
  file(GLOB protocol_headers LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/protocol/include/*)
  list(APPEND brick_header_dirs ${protocol_headers})
endif()
install(DIRECTORY ${brick_header_dirs} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT brickctlTargets NAMESPACE brick::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/brickctl COMPONENT dev)
configure_package_config_file(cmake/brickctlConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/brickctlConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/brickctl)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/brickctlConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/brickctlConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/brickctlConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/brickctl COMPONENT dev)
# The same package in the build tree, beside the config and version files above, so that a
# project of one's own builds against an uninstalled brickctl with -DCMAKE_PREFIX_PATH=<build>:
# its targets name the build tree's libraries and the source tree's headers.
export(EXPORT brickctlTargets NAMESPACE brick::
  FILE ${CMAKE_CURRENT_BINARY_DIR}/brickctlTargets.cmake)
file(RELATIVE_PATH BRICK_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" BRICK_PC_TO_PREFIX "${BRICK_PC_TO_PREFIX}")
configure_file(cmake/brickctl.pc.in ${CMAKE_CURRENT_BINARY_DIR}/brickctl.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/brickctl.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# The virtual brick, its worlds and the example programs (sources; explore.pl runs as it is).
install(TARGETS bricksim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(DIRECTORY examples/worlds DESTINATION ${CMAKE_INSTALL_DATADIR}/brickctl COMPONENT tools)
install(FILES examples/drive.cpp examples/explore.cpp examples/robot.cpp examples/explore.pl
  DESTINATION ${CMAKE_INSTALL_DATADIR}/brickctl/examples COMPONENT tools)

# The udev rule goes where udev reads it: Debian's place for packaged rules under /usr, the
# administrator's /etc/udev/rules.d for any other prefix (udev never reads /usr/local). The
# choice is made when installing, so that cpack (prefix /usr) and `cmake --install --prefix`
# get theirs from one build. BRICK_UDEV_RULES_DIR overrides it, e.g. for an install as a user.
set(BRICK_UDEV_RULES_DIR "" CACHE PATH
  "Where the udev rule is installed (empty: /usr/lib/udev/rules.d for prefix /usr, else /etc/udev/rules.d)")
if(BRICK_UDEV_RULES_DIR)
  set(BRICK_UDEV_RULES_FULL_DIR ${BRICK_UDEV_RULES_DIR})
elseif(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(BRICK_UDEV_RULES_FULL_DIR /usr/lib/udev/rules.d)
else()
  set(BRICK_UDEV_RULES_FULL_DIR /etc/udev/rules.d)
endif()
install(CODE "
  if(\"${BRICK_UDEV_RULES_DIR}\")
    set(rules_dir \"${BRICK_UDEV_RULES_DIR}\")
  elseif(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(rules_dir /usr/lib/udev/rules.d)
  else()
    set(rules_dir /etc/udev/rules.d)
  endif()
  file(INSTALL DESTINATION \"\${rules_dir}\" TYPE FILE PERMISSIONS OWNER_READ
    OWNER_WRITE GROUP_READ WORLD_READ FILES \"${PROJECT_SOURCE_DIR}/udev/70-nxt-brick.rules\")
" COMPONENT tools)
# brick doctor looks there too (it always looks in udev's own directories).
if(TARGET bricktool)
  set(extra_rules_dir "${BRICK_UDEV_RULES_FULL_DIR}")
  if(extra_rules_dir MATCHES "^/(etc|run|lib|usr/lib)/udev/rules.d/?$")
    set(extra_rules_dir "")
  endif()
  target_compile_definitions(bricktool PRIVATE BRICK_UDEV_RULES_DIR="${extra_rules_dir}")
endif()

# Man pages, made from their scdoc sources in docs/man/, and brick's bash completion.
find_program(SCDOC_EXECUTABLE scdoc)
find_program(GZIP_EXECUTABLE gzip)
option(BRICK_MAN "Make and install the man pages (needs scdoc)" ON)
if(BRICK_MAN AND SCDOC_EXECUTABLE AND GZIP_EXECUTABLE)
  set(man_pages)
  foreach(page brick.1 bricksim.1)
    set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.scd)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
    # gzip -n: no name or time stamp in the archive, so the page is the same on every build.
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND sh -c "'${SCDOC_EXECUTABLE}' < '${source}' | '${GZIP_EXECUTABLE}' -9n > '${output}'"
      DEPENDS ${source} VERBATIM)
    list(APPEND man_pages ${output})
  endforeach()
  add_custom_target(man ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
elseif(BRICK_MAN)
  message(STATUS "scdoc not found: the man pages are not made (scripts/deps test installs it)")
endif()
install(FILES completion/brick DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  COMPONENT tools)

# The reference manual of the modern C++ API, with the headers it documents (docs_api builds it
# when doxygen is there).
if(TARGET docs_api)
  install(DIRECTORY ${BRICK_API_DOCS_DIR}/html/
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/libbrickctl-dev/api COMPONENT dev)
endif()
