# What the toolbox is and what it ships, read by the build, the packaging and
# the tests alike.
set(TOOLBOX_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
set(TOOLBOX_NAME reloj-espera)
file(STRINGS ${TOOLBOX_ROOT}/VERSION TOOLBOX_VERSION LIMIT_COUNT 1)
# Compiled functions: NAME/NAME.cpp is the function and the entry the host
# calls, NAME/NAME.m its help text. Each is built from its own source and
# the common sources below, and from nothing else.
set(TOOLBOX_EXTENSIONS reloj espera hasta prioridad fecha)
# Those that wait, and so ask the host whether to stop (gateway/interrupt.hpp).
# MATLAB on Linux keeps that request in libut.so: they need it as they need
# libmx.
set(TOOLBOX_WAITING espera hasta)
# The sources every compiled function is built from besides its own (paths
# relative to the root). The platform and the host are picked inside them.
set(TOOLBOX_COMMON_SOURCES gateway/gateway.cpp timing/clock.cpp)
# Copies a compiled function's help file into dir, with the body that runs
# where the compiled function is missing (cmake/missing_compiled.m) in place
# of the line that names it, and the release's version filled in
# (build_mex.m does the same).
function(toolbox_help_file name dir)
  file(READ ${TOOLBOX_ROOT}/${name}/${name}.m text)
  file(READ ${TOOLBOX_ROOT}/cmake/missing_compiled.m body)
  string(REGEX REPLACE "\n$" "" body "${body}")
  string(REPLACE "% @TOOLBOX_MISSING_COMPILED@" "${body}" text "${text}")
  file(CONFIGURE OUTPUT ${dir}/${name}.m CONTENT "${text}" @ONLY)
  if(NOT CMAKE_SCRIPT_MODE_FILE)  # a build: copy again when either changes
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${TOOLBOX_ROOT}/${name}/${name}.m ${TOOLBOX_ROOT}/cmake/missing_compiled.m)
  endif()
endfunction()
# Functions written in the MATLAB language: NAME/NAME.m.
set(TOOLBOX_SCRIPTS sondeo)
# Compiler flags, and linker flags for the Linux and Octave extensions: each
# a file of its own, also read by build_mex.m.
foreach(flags CXX_FLAGS LINUX_LINK_FLAGS)
  string(TOLOWER ${flags} file)
  file(STRINGS ${TOOLBOX_ROOT}/cmake/${file}.txt TOOLBOX_${flags} REGEX "^[^#]")
  separate_arguments(TOOLBOX_${flags} UNIX_COMMAND "${TOOLBOX_${flags}}")
endforeach()
