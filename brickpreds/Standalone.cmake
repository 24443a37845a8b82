# The pack built on its own, as pack_install/2 does it: in the pack's directory, against an
# installed libbrickctl (libbrickctl-dev, or `cmake --install` with its prefix in
# CMAKE_PREFIX_PATH). The foreign library goes straight to lib/<arch>/, where SWI-Prolog looks.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_VISIBILITY_PRESET hidden)
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release)
endif()
find_package(brickctl 0.1 REQUIRED)
find_package(SWIPL CONFIG REQUIRED)
# pack_install names the directory for the foreign library (lib/<arch>) in the environment.
set(module_dir "$ENV{SWIPL_MODULE_DIR}")
if(module_dir STREQUAL "")
  set(module_dir "$ENV{PACKSODIR}")
endif()
if(module_dir STREQUAL "")
  execute_process(COMMAND swipl --arch OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(module_dir lib/${arch})
endif()
file(GLOB sources ${CMAKE_CURRENT_SOURCE_DIR}/src/*.cpp)
add_library(brickpreds MODULE ${sources})
target_include_directories(brickpreds PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_link_libraries(brickpreds PRIVATE brick::brickctl swipl::libswipl)
target_link_options(brickpreds PRIVATE
  -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/src/exports.map)
# The library is used where it is built: its RUNPATH names libbrickctl's directory when that is
# not one the loader searches anyway.
set_target_properties(brickpreds PROPERTIES PREFIX "" OUTPUT_NAME brickpreds
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${module_dir})
