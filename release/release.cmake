# cmake [-DDIST=dir] [-DOUT=dir] -P release/release.cmake
#
# Makes what a user installs, from the extensions already built in
# DIST/windows and DIST/linux (default: dist/) and from the sources:
#   OUT/reloj-espera-VERSION-matlab.zip  one folder for MATLAB on Windows and Linux,
#                                        with the README's user's part, NEWS.md and
#                                        docs/reference.md
#   OUT/reloj-espera-VERSION.tar.gz      the GNU Octave package (built by pkg install)
#   OUT/SHA256SUMS                       for sha256sum -c
# (OUT defaults to DIST/release.) Two runs on the same commit give the same
# bytes: every file carries the commit's time, entries are sorted, and no
# owner, local time zone or compression time stamp gets in.
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/toolbox.cmake)
if(NOT DEFINED DIST)
  set(DIST ${TOOLBOX_ROOT}/dist)
endif()
if(NOT DEFINED OUT)
  set(OUT ${DIST}/release)
endif()
foreach(tool zip tar gzip touch)
  find_program(found_${tool} ${tool})
  if(NOT found_${tool})
    message(FATAL_ERROR "release: ${tool} is missing (apt-get install ${tool})")
  endif()
endforeach()

# The time of every file and the date the archives carry: SOURCE_DATE_EPOCH
# if set, else the commit's. string(TIMESTAMP) reads it from the environment.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${TOOLBOX_ROOT} log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR epoch STREQUAL "")
    message(FATAL_ERROR "release: not a git checkout; set SOURCE_DATE_EPOCH to the release's time")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
set(epoch $ENV{SOURCE_DATE_EPOCH})
string(TIMESTAMP contents_date "%d-%b-%Y" UTC)
string(TIMESTAMP iso_date "%Y-%m-%d" UTC)

set(stage ${OUT}/stage)
file(REMOVE_RECURSE ${stage})
set(name_version ${TOOLBOX_NAME}-${TOOLBOX_VERSION})
set(matlab_zip ${name_version}-matlab.zip)
set(octave_tgz ${name_version}.tar.gz)
file(REMOVE ${OUT}/${matlab_zip} ${OUT}/${octave_tgz} ${OUT}/SHA256SUMS)

function(copy_into dir)
  foreach(file ${ARGN})
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "release: ${file} is missing (run make first)")
    endif()
  endforeach()
  file(COPY ${ARGN} DESTINATION ${dir})
endfunction()

# The first comment line of a help file (its H1 line), less "% NAME": what
# the function does.
function(summary_of name out)
  file(STRINGS ${TOOLBOX_ROOT}/${name}/${name}.m first REGEX "^%" LIMIT_COUNT 1)
  string(REGEX REPLACE "^% *${name} +" "" first "${first}")
  set(${out} "${first}" PARENT_SCOPE)
endfunction()

set(functions ${TOOLBOX_EXTENSIONS} ${TOOLBOX_SCRIPTS})
set(title "Sub-millisecond timing for scripts that run experiments or drive hardware")

# The user's README: the top of the project's README, down to the line that
# ends the user's part.
file(READ ${TOOLBOX_ROOT}/README.md readme)
string(FIND "${readme}" "<!-- end of the user's part -->" cut)
if(cut EQUAL -1)
  message(FATAL_ERROR "release: README.md has no line ending the user's part")
endif()
string(SUBSTRING "${readme}" 0 ${cut} readme)

# MATLAB: one folder, the extensions of both platforms side by side (MATLAB
# picks its own by suffix), the help files and Contents.m, which ver reads.
set(matlab ${stage}/matlab/${TOOLBOX_NAME})
foreach(name ${TOOLBOX_EXTENSIONS})
  copy_into(${matlab} ${DIST}/windows/${name}.mexw64 ${DIST}/linux/${name}.mexa64)
  toolbox_help_file(${name} ${matlab})
endforeach()
foreach(name ${TOOLBOX_SCRIPTS})
  copy_into(${matlab} ${TOOLBOX_ROOT}/${name}/${name}.m)
endforeach()
copy_into(${matlab} ${TOOLBOX_ROOT}/LICENSE ${TOOLBOX_ROOT}/NEWS.md)
file(WRITE ${matlab}/README.md "${readme}")
# The contract the README and the help texts point to, where the README's
# link finds it.
copy_into(${matlab}/docs ${TOOLBOX_ROOT}/docs/reference.md)
set(contents "% ${TOOLBOX_NAME}  ${title}\n% Version ${TOOLBOX_VERSION} ${contents_date}\n%\n")
set(width 0)
foreach(name ${functions})
  string(LENGTH ${name} length)
  if(length GREATER width)
    set(width ${length})
  endif()
endforeach()
foreach(name ${functions})
  summary_of(${name} summary)
  string(LENGTH ${name} length)
  math(EXPR pad "${width} - ${length}")
  string(REPEAT " " ${pad} padding)
  string(APPEND contents "%   ${name}${padding} - ${summary}\n")
endforeach()
file(WRITE ${matlab}/Contents.m "${contents}")

# Octave: a package that pkg install builds with Octave's own mex command,
# through build_mex.m; the help files go beside the extensions afterwards.
# Its description, what it is for and then each function's summary, as
# Contents.m has them.
set(octave ${stage}/octave/${name_version})
set(src ${octave}/src)
set(description "For scripts that need timing finer than pause can give:")
foreach(name ${functions})
  summary_of(${name} summary)
  string(APPEND description "\n ${name} - ${summary}")
endforeach()
configure_file(${TOOLBOX_ROOT}/release/DESCRIPTION.in ${octave}/DESCRIPTION @ONLY)
configure_file(${TOOLBOX_ROOT}/LICENSE ${octave}/COPYING COPYONLY)
configure_file(${TOOLBOX_ROOT}/NEWS.md ${octave}/NEWS COPYONLY)
# pkg installs doc/ in the package's folder.
copy_into(${octave}/doc ${TOOLBOX_ROOT}/docs/reference.md)
list(JOIN functions " " index_functions)
file(WRITE ${octave}/INDEX "${TOOLBOX_NAME} >> ${title}\nTiming\n ${index_functions}\n")
list(JOIN TOOLBOX_EXTENSIONS " " extensions)
configure_file(${TOOLBOX_ROOT}/release/pre_install.m ${octave}/pre_install.m COPYONLY)
configure_file(${TOOLBOX_ROOT}/release/post_install.m ${octave}/post_install.m @ONLY)
copy_into(${src} ${TOOLBOX_ROOT}/release/Makefile ${TOOLBOX_ROOT}/build_mex.m)
copy_into(${src}/cmake ${TOOLBOX_ROOT}/cmake/cxx_flags.txt ${TOOLBOX_ROOT}/cmake/linux_link_flags.txt
          ${TOOLBOX_ROOT}/cmake/exports.map ${TOOLBOX_ROOT}/cmake/toolbox.cmake
          ${TOOLBOX_ROOT}/cmake/missing_compiled.m)
copy_into(${src} ${TOOLBOX_ROOT}/VERSION)
foreach(dir timing gateway ${functions})
  file(GLOB sources ${TOOLBOX_ROOT}/${dir}/*.hpp ${TOOLBOX_ROOT}/${dir}/*.inc ${TOOLBOX_ROOT}/${dir}/*.cpp
       ${TOOLBOX_ROOT}/${dir}/*.m)
  copy_into(${src}/${dir} ${sources})
endforeach()
# The help files with their version, as everywhere else.
foreach(name ${TOOLBOX_EXTENSIONS})
  toolbox_help_file(${name} ${src}/${name})
endforeach()
# pkg installs the files FILES names from what build_mex made: the
# extensions, and the functions written in the MATLAB language. Not the help
# files of the extensions, also .m, which pkg would put apart from them.
list(TRANSFORM TOOLBOX_EXTENSIONS APPEND .mex OUTPUT_VARIABLE built)
list(TRANSFORM TOOLBOX_SCRIPTS APPEND .m OUTPUT_VARIABLE scripts)
list(JOIN built "\n" built)
list(JOIN scripts "\n" scripts)
file(WRITE ${src}/FILES "${built}\n${scripts}\n")

# Same modes and times everywhere, whatever the umask and the checkout's age.
execute_process(COMMAND chmod -R u=rwX,go=rX ${stage} COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND find ${stage} -exec touch -h -d @${epoch} {} +
                COMMAND_ERROR_IS_FATAL ANY)

# zip: entries in sorted order from a list, no extra attributes (-X), no
# directory entries (-D), and DOS times read in UTC.
file(GLOB_RECURSE entries RELATIVE ${stage}/matlab ${stage}/matlab/*)
list(SORT entries)
list(JOIN entries "\n" entries)
file(WRITE ${stage}/zip-entries "${entries}\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -D -q -9 ${OUT}/${matlab_zip} -@
                INPUT_FILE ${stage}/zip-entries WORKING_DIRECTORY ${stage}/matlab COMMAND_ERROR_IS_FATAL ANY)

# tar.gz: sorted, numeric owner 0, the one time; gzip without name or time.
execute_process(
  COMMAND tar --sort=name --format=gnu --owner=0 --group=0 --numeric-owner --mtime=@${epoch}
          -C ${stage}/octave -cf - ${name_version}
  COMMAND gzip -9 -n
  OUTPUT_FILE ${OUT}/${octave_tgz} COMMAND_ERROR_IS_FATAL ANY)

set(sums "")
foreach(archive ${matlab_zip} ${octave_tgz})
  file(SHA256 ${OUT}/${archive} hash)
  string(APPEND sums "${hash}  ${archive}\n")
endforeach()
file(WRITE ${OUT}/SHA256SUMS "${sums}")
file(REMOVE_RECURSE ${stage})
message(STATUS "Release ${TOOLBOX_VERSION}: ${OUT}/${matlab_zip}, ${OUT}/${octave_tgz}, ${OUT}/SHA256SUMS")
