# GNU Octave as the users of each Debian release have it: a root file system
# of the release with its own Octave, development package, g++ and make
# (tests/octave/roots.sh), kept outside the work tree and made once, by a
# fixture test of its own. In each: pkg install of the release's package and
# the suite against it, build_mex and the suite against what it builds, and
# Ctrl+C. The machine's own Octave (Debian 12's 7.3) runs the same tests
# above, without a root. A root that cannot be made fails its test, saying why,
# and the tests that need it do not run.
#
# Expects, from the file that includes it: tests_dir, suite_dir,
# octave_package, build_mex_inputs, scripts.

set(OCTAVE_ROOTS_DIR /var/cache/reloj-espera/octave-roots CACHE PATH
    "Where the root file systems of other Debian releases' Octave are kept")

# version (what OCTAVE_VERSION starts with), Debian suite, development package
set(octave_versions
    "6.2 bullseye liboctave-dev"
    "9.4 trixie octave-dev"
    "11 sid octave-dev")

# What the Octave in a root can see of this machine: the sources, the build
# (TMPDIR and HOME of the tests are in it) and the release, each at its own
# path; those inside the sources come with them.
set(shared_dirs ${PROJECT_SOURCE_DIR})
foreach(dir ${CMAKE_BINARY_DIR} ${RELEASE_DIR})
  cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${dir} NORMALIZE inside)
  if(NOT inside)
    list(APPEND shared_dirs ${dir})
  endif()
endforeach()
list(JOIN shared_dirs ":" shared_dirs)

foreach(entry ${octave_versions})
  separate_arguments(entry)
  list(GET entry 0 version)
  list(GET entry 1 suite)
  list(GET entry 2 dev_package)
  set(root ${OCTAVE_ROOTS_DIR}/${suite})
  # gnuplot-nox and its font, as the machine's own Octave has them: the suite
  # draws sondeo's figure into a file without a display.
  add_test(NAME octave_${version}_root
           COMMAND sh ${tests_dir}/roots.sh ${OCTAVE_ROOTS_DIR} ${suite}
                   octave ${dev_package} g++ make gnuplot-nox fonts-freefont-otf)
  set_tests_properties(octave_${version}_root PROPERTIES FIXTURES_SETUP octave_${version} TIMEOUT 2400)

  set(octave_in_root sh ${tests_dir}/in_root.sh ${root} ${shared_dirs} octave-cli --norc --no-history)
  # Each first checks that it runs the Octave it is named after.
  set(this_octave "assert(strncmp(OCTAVE_VERSION(), '${version}.', numel('${version}.')), ['Octave ' OCTAVE_VERSION()]); addpath('${tests_dir}', '${suite_dir}');")
  add_test(NAME octave_${version}_package
           COMMAND ${octave_in_root} --eval "${this_octave} exit(test_package('${octave_package}', '${scripts}') > 0)")
  add_test(NAME octave_${version}_build_mex
           COMMAND ${octave_in_root} --eval "${this_octave} exit(test_build_mex('${PROJECT_SOURCE_DIR}', '${build_mex_inputs}') > 0)")
  # The extensions built by this Octave, for Ctrl+C: the machine's own
  # dist/octave are built against another Octave's libraries.
  set(extensions ${CMAKE_CURRENT_BINARY_DIR}/octave_${version})
  add_test(NAME octave_${version}_extensions
           COMMAND ${octave_in_root} --eval "${this_octave} addpath('${PROJECT_SOURCE_DIR}'); build_mex('${extensions}')")
  set_tests_properties(octave_${version}_extensions PROPERTIES FIXTURES_SETUP octave_${version}_extensions)
  set_tests_properties(octave_${version}_package octave_${version}_build_mex octave_${version}_extensions
                       PROPERTIES FIXTURES_REQUIRED octave_${version})
  foreach(function espera hasta)
    set(test octave_${version}_interrupt)
    if(function STREQUAL hasta)
      set(test octave_${version}_interrupt_hasta)
    endif()
    add_test(NAME ${test} COMMAND sh ${tests_dir}/interrupt.sh ${extensions} ${function} ${octave_in_root})
    set_tests_properties(${test} PROPERTIES
                         FIXTURES_REQUIRED "octave_${version};octave_${version}_extensions" TIMEOUT 300)
  endforeach()
  foreach(test octave_${version}_package octave_${version}_build_mex)
    set(odd "${CMAKE_CURRENT_BINARY_DIR}/${test} ñandú 計時")
    file(MAKE_DIRECTORY "${odd}/tmp dir" "${odd}/home dir")
    set_tests_properties(${test} PROPERTIES ENVIRONMENT "TMPDIR=${odd}/tmp dir;HOME=${odd}/home dir"
                                            ENVIRONMENT_MODIFICATION "DISPLAY=unset:")
  endforeach()
endforeach()

# Octave's installer for Windows ships the newest Octave: the package's
# sources as it builds them (octave_windows_compile above) compiled also
# against the newest release's headers, those in its root.
add_test(NAME octave_${version}_windows_compile
         COMMAND sh -c [[headers=$(echo "$1"/usr/include/octave-*/octave) && [ -f "$headers/mex.h" ] &&
                         shift && OCTINCLUDEDIR=$headers exec sh "$@"]]
                 sh ${root} ${tests_dir}/compile_windows.sh ${MKOCTFILE} ${MINGW_CXX}
                 ${windows_objects}_${version} ${windows_sources}
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(octave_${version}_windows_compile PROPERTIES
                     ENVIRONMENT "CXXFLAGS=${octave_cxxflags}" FIXTURES_REQUIRED octave_${version})
