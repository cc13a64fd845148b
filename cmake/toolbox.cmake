# What the toolbox is and what it ships, read by the build, the packaging and
# the tests alike.
set(TOOLBOX_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
set(TOOLBOX_NAME reloj-espera)
file(STRINGS ${TOOLBOX_ROOT}/VERSION TOOLBOX_VERSION LIMIT_COUNT 1)
# The compiled functions, one line each: toolbox_function(NAME WORD...).
# NAME/NAME.cpp is the function and the entry the host calls, NAME/NAME.m its
# help text; each is built from its own source and the common sources below,
# and from nothing else. Its WORDs say what it uses beyond the counter and the
# frame (gateway/gateway.hpp), and so how it is linked and what it may
# import; each check of the imports holds what each word brings on its
# platform and host, and fails on a word it does not know:
#   number     reads a number from its first input (gateway/first_element.hpp)
#   interrupt  waits, and asks the host whether to stop (gateway/interrupt.hpp);
#              MATLAB on Linux keeps that request in libut.so, which such a
#              function then needs as it needs libmx
#   sleep      sleeps on the system's timer, and asks the system whether its
#              thread runs raised (timing/sleeper.hpp)
#   priority   raises the thread's scheduling priority and gives it back when
#              the host unloads it (timing/priority.hpp)
#   calendar   reads the system clock and what the system says of it
#              (timing/system_clock.hpp)
# Everything that names the functions reads this list: the builds, the
# packages, the checks and the tests (in the MATLAB language through
# tests/suite/compiled_functions.m; build_mex.m reads it itself).
set(TOOLBOX_EXTENSIONS)
macro(toolbox_function name)
  list(APPEND TOOLBOX_EXTENSIONS ${name})
  set(TOOLBOX_USES_${name} ${ARGN})
endmacro()
toolbox_function(reloj)
toolbox_function(espera    number interrupt)
toolbox_function(hasta     number interrupt sleep)
toolbox_function(prioridad number priority)
toolbox_function(fecha     calendar)
# The list as one argument, for the tests and checks outside CMake: each
# function as NAME:WORD:WORD..., separated by spaces.
function(toolbox_function_rows out)
  set(rows)
  foreach(name ${TOOLBOX_EXTENSIONS})
    list(JOIN TOOLBOX_USES_${name} ":" words)
    if(words STREQUAL "")
      list(APPEND rows ${name})
    else()
      list(APPEND rows ${name}:${words})
    endif()
  endforeach()
  list(JOIN rows " " rows)
  set(${out} "${rows}" PARENT_SCOPE)
endfunction()
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
# The oldest macOS the macOS builds state: the first on Apple silicon, and the
# oldest whose libSystem stub the link here checks their calls against
# (cmake/macos_sdk.sh). The sources themselves need 10.12.
set(TOOLBOX_MACOS_MINIMUM 11.0)
# Functions written in the MATLAB language: NAME/NAME.m.
set(TOOLBOX_SCRIPTS sondeo)
# Compiler flags, and linker flags for the Linux and Octave extensions: each
# a file of its own, also read by build_mex.m.
foreach(flags CXX_FLAGS LINUX_LINK_FLAGS)
  string(TOLOWER ${flags} file)
  file(STRINGS ${TOOLBOX_ROOT}/cmake/${file}.txt TOOLBOX_${flags} REGEX "^[^#]")
  separate_arguments(TOOLBOX_${flags} UNIX_COMMAND "${TOOLBOX_${flags}}")
endforeach()
