# What the toolbox is and what it ships, read by the build, the packaging and
# the tests alike.
set(TOOLBOX_ROOT ${CMAKE_CURRENT_LIST_DIR}/..)
set(TOOLBOX_NAME reloj-espera)
file(STRINGS ${TOOLBOX_ROOT}/VERSION TOOLBOX_VERSION LIMIT_COUNT 1)
# Compiled functions: NAME/NAME.cpp is the body, NAME/NAME.m the help text.
set(TOOLBOX_EXTENSIONS reloj espera)
# Functions written in the MATLAB language: NAME/NAME.m.
set(TOOLBOX_SCRIPTS sondeo)
# Floating-point flags, one line of cmake/fp_flags.txt (also read by build_mex.m).
file(STRINGS ${TOOLBOX_ROOT}/cmake/fp_flags.txt TOOLBOX_FP_FLAGS REGEX "^[^#]")
separate_arguments(TOOLBOX_FP_FLAGS UNIX_COMMAND "${TOOLBOX_FP_FLAGS}")
