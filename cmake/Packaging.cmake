# Debian packages, made by cpack's DEB generator from the install components (Install.cmake):
#   cd build && cpack -G DEB     ->  build/packages/*.deb
# One package per component. Depends: lines are computed from the binaries by dpkg-shlibdeps,
# plus the packages of ours a binary links to or a file needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brickctl)
set(CPACK_PACKAGE_VENDOR "The brickctl developers")
set(CPACK_PACKAGE_CONTACT "brickctl developers <brickctl@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Drive an NXT brick over USB or Bluetooth")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# DESTDIR staging keeps CMAKE_INSTALL_PREFIX at /usr while the package is laid out, which the
# udev rule's install step reads.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lib dev tools)
if(TARGET brickpreds)
  list(APPEND CPACK_COMPONENTS_ALL prolog)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brickctl.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
# dpkg-shlibdeps finds our own libraries in the staging tree of the lib package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${PROJECT_BINARY_DIR}/link ${PROJECT_BINARY_DIR}/brickctl)
set(brick_exact "(= ${PROJECT_VERSION}-1)")

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libbrickctl0)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LIB_DESCRIPTION "NXT brick control library
 libbrickctl drives an NXT programmable brick from a Linux PC over USB or
 Bluetooth: motors, sensors, tones, the battery and the brick's name.
 libcomm, the link it is built on, carries the telegrams over USB, an
 RFCOMM socket or a serial device.")
# The loader cache is refreshed by a trigger rather than by ldconfig in the scripts.
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/libbrickctl0/triggers
  ${PROJECT_SOURCE_DIR}/packaging/libbrickctl0/postinst
  ${PROJECT_SOURCE_DIR}/packaging/libbrickctl0/postrm)

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libbrickctl-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libbrickctl0 ${brick_exact}")
set(CPACK_COMPONENT_DEV_DESCRIPTION "NXT brick control library: development files
 Headers, the CMake package (find_package(brickctl) gives
 brick::brickctl) and the pkg-config file (brickctl) for building
 programs on libbrickctl.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME brick-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libbrickctl0 ${brick_exact}")
set(CPACK_DEBIAN_TOOLS_PACKAGE_SUGGESTS "swi-prolog-brick, libbrickctl-dev")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "NXT brick command-line tool and virtual brick
 brick checks and pokes an NXT brick from the shell (list, doctor, info,
 battery, tone, motor, read ...). bricksim is a virtual brick inside a
 simulated two-wheel robot that answers as a brick does, so robot
 programs can be tried without one. Also: the udev rule that lets a user
 open the brick on USB, example worlds and programs, man pages and bash
 completion.")

set(CPACK_DEBIAN_PROLOG_PACKAGE_NAME swi-prolog-brick)
set(CPACK_DEBIAN_PROLOG_PACKAGE_SECTION interpreters)
# A foreign library works only with the SWI-Prolog whose foreign interface it was built
# against: Debian's swi-prolog-core provides swi-prolog-abi-foreign-N for that, as packages of
# foreign libraries depend on it.
execute_process(COMMAND dpkg-query -W "-f=\${Provides}" swi-prolog-core
  OUTPUT_VARIABLE swipl_provides ERROR_QUIET)
string(REGEX MATCH "swi-prolog-abi-foreign-[0-9]+" swipl_abi_foreign "${swipl_provides}")
set(CPACK_DEBIAN_PROLOG_PACKAGE_DEPENDS "libbrickctl0 ${brick_exact}, swi-prolog-core")
if(swipl_abi_foreign)
  string(APPEND CPACK_DEBIAN_PROLOG_PACKAGE_DEPENDS ", ${swipl_abi_foreign}")
endif()
set(CPACK_COMPONENT_PROLOG_DESCRIPTION "NXT brick control from SWI-Prolog
 The SWI-Prolog pack brickmod: use_module(library(brickmod)) in a plain
 swipl gives the predicates that drive an NXT brick (motors, sensors,
 tones, battery, name).")

# cpack's DEB generator leaves the description to one variable per component; Debian wants a
# short line and a body, which the first line and the rest above are.
foreach(component LIB DEV TOOLS PROLOG)
  set(CPACK_DEBIAN_${component}_DESCRIPTION "${CPACK_COMPONENT_${component}_DESCRIPTION}")
endforeach()

# Debian's copyright and changelog files in each package's doc directory.
foreach(component lib dev tools prolog)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  set(changelog ${PROJECT_BINARY_DIR}/packaging/${package}/changelog.Debian.gz)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in
    ${PROJECT_BINARY_DIR}/packaging/${package}/changelog.Debian @ONLY)
  add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9n -c ${PROJECT_BINARY_DIR}/packaging/${package}/changelog.Debian > ${changelog}
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/${package}/changelog.Debian)
  list(APPEND brick_changelogs ${changelog})
  install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
    COMPONENT ${component})
  # What lintian says of a package that we mean (packaging/lintian/<package>).
  if(EXISTS ${PROJECT_SOURCE_DIR}/packaging/lintian/${package})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian/${package}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component})
  endif()
endforeach()
add_custom_target(package_files ALL DEPENDS ${brick_changelogs})

include(CPack)
