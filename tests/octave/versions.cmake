# GNU Octave as the users of each Debian release have it: a root file system
# of the release with its own Octave, development package, g++ and make
# (tests/octave/roots.sh), kept outside the work tree and made once, by a
# fixture test of its own, and made anew when the release's Octave changes.
# In each: pkg install of the release's package and the suite against it,
# build_mex and the suite against what it builds, and Ctrl+C. The machine's
# own Octave (Debian 12's 7.3) runs the same tests above, without a root. A
# root that cannot be made fails its test, saying why, and the tests that
# need it do not run; a release Debian's registry no longer serves skips
# them, and CTest prints why after its summary.
#
# Expects, from the file that includes it: tests_dir, suite_dir,
# octave_package, build_mex_inputs, scripts.

set(OCTAVE_ROOTS_DIR /var/cache/reloj-espera/octave-roots CACHE PATH
    "Where the root file systems of other Debian releases' Octave are kept")
# Debian's names that move with its releases, so that a new release, or a new
# Octave in unstable, is tested as it comes; the last has the newest Octave.
set(OCTAVE_SUITES oldoldstable stable unstable CACHE STRING
    "The Debian suites whose Octave is tested, each in a root of its own")

# What roots.sh found that a passing run does not show: a suite skipped, a
# kept root the registry could not be asked about. Each CTest run starts
# without them and prints them after its summary.
set(root_notes ${CMAKE_CURRENT_BINARY_DIR}/root_notes)
file(WRITE ${CMAKE_BINARY_DIR}/CTestCustom.cmake
     "set(CTEST_CUSTOM_PRE_TEST [[rm -rf \"${root_notes}\"]])\n"
     "set(CTEST_CUSTOM_POST_TEST [[sh -c 'cat -- \"$0\"/* 2>/dev/null || true' \"${root_notes}\"]])\n")

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

foreach(suite ${OCTAVE_SUITES})
  set(root ${OCTAVE_ROOTS_DIR}/${suite})
  # gnuplot-nox and its font, as the machine's own Octave has them: the suite
  # draws sondeo's figure into a file without a display.
  add_test(NAME octave_${suite}_root
           COMMAND sh ${tests_dir}/roots.sh ${OCTAVE_ROOTS_DIR} ${suite} ${root_notes}
                   octave octave-dev|liboctave-dev g++ make gnuplot-nox fonts-freefont-otf)
  set_tests_properties(octave_${suite}_root PROPERTIES FIXTURES_SETUP octave_${suite} TIMEOUT 2400
                                                       SKIP_RETURN_CODE 77)
  # The tests in the root are skipped with it.
  set(unless_skipped sh -c [[[ -f "$0" ] && cat "$0" && exit 77 || exec "$@"]] ${root_notes}/${suite}.skipped)
  set(octave_in_root sh ${tests_dir}/in_root.sh ${root} ${shared_dirs} octave-cli --norc --no-history)
  # Each prints the Octave it runs, read from the root.
  set(this_octave "fprintf('Octave %s\\n', OCTAVE_VERSION()); addpath('${tests_dir}', '${suite_dir}');")
  add_test(NAME octave_${suite}_package
           COMMAND ${unless_skipped} ${octave_in_root} --eval "${this_octave} exit(test_package('${octave_package}', '${scripts}') > 0)")
  add_test(NAME octave_${suite}_build_mex
           COMMAND ${unless_skipped} ${octave_in_root} --eval "${this_octave} exit(test_build_mex('${PROJECT_SOURCE_DIR}', '${build_mex_inputs}') > 0)")
  # The extensions built by this Octave, for Ctrl+C: the machine's own
  # dist/octave are built against another Octave's libraries.
  set(extensions ${CMAKE_CURRENT_BINARY_DIR}/octave_${suite})
  add_test(NAME octave_${suite}_extensions
           COMMAND ${unless_skipped} ${octave_in_root} --eval "${this_octave} addpath('${PROJECT_SOURCE_DIR}'); build_mex('${extensions}')")
  set_tests_properties(octave_${suite}_extensions PROPERTIES FIXTURES_SETUP octave_${suite}_extensions)
  set_tests_properties(octave_${suite}_package octave_${suite}_build_mex octave_${suite}_extensions
                       PROPERTIES FIXTURES_REQUIRED octave_${suite} SKIP_RETURN_CODE 77)
  foreach(function espera hasta)
    set(test octave_${suite}_interrupt)
    if(function STREQUAL hasta)
      set(test octave_${suite}_interrupt_hasta)
    endif()
    add_test(NAME ${test} COMMAND ${unless_skipped} sh ${tests_dir}/interrupt.sh ${extensions} ${function}
                                  ${octave_in_root})
    set_tests_properties(${test} PROPERTIES
                         FIXTURES_REQUIRED "octave_${suite};octave_${suite}_extensions" TIMEOUT 300
                         SKIP_RETURN_CODE 77)
  endforeach()
  foreach(test octave_${suite}_package octave_${suite}_build_mex)
    set(odd "${CMAKE_CURRENT_BINARY_DIR}/${test} ñandú 計時")
    file(MAKE_DIRECTORY "${odd}/tmp dir" "${odd}/home dir")
    set_tests_properties(${test} PROPERTIES ENVIRONMENT "TMPDIR=${odd}/tmp dir;HOME=${odd}/home dir"
                                            ENVIRONMENT_MODIFICATION "DISPLAY=unset:")
  endforeach()
endforeach()

# Octave's installer for Windows ships the newest Octave: the package's
# sources as it builds them (octave_windows_compile above) compiled also
# against the newest Debian has, that of the last suite, in its root (root
# and unless_skipped are still the last suite's).
list(GET OCTAVE_SUITES -1 suite)
add_test(NAME octave_${suite}_windows_compile
         COMMAND ${unless_skipped} sh -c [[headers=$(echo "$1"/usr/include/octave-*/octave) && [ -f "$headers/mex.h" ] &&
                         shift && OCTINCLUDEDIR=$headers exec sh "$@"]]
                 sh ${root} ${tests_dir}/compile_windows.sh ${MKOCTFILE} ${MINGW_CXX}
                 ${windows_objects}_${suite} ${windows_sources}
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(octave_${suite}_windows_compile PROPERTIES
                     ENVIRONMENT "CXXFLAGS=${octave_cxxflags}" FIXTURES_REQUIRED octave_${suite} SKIP_RETURN_CODE 77)
