# What each test needs to run, as its CTest labels, so that one tier runs
# alone (ctest --preset linux -L unit) and everything but the Debian roots
# in one command (make check). The labels:
#   unit          the test program alone: the timing core on scripted
#                 counters and sleepers, the fuzzers, this check
#   host          the built extensions, loaded and called through the
#                 stand-in host
#   binaries      the built extensions' files read (exports, imports,
#                 linking), none run
#   release       dist/release, as make writes it
#   octave        this machine's GNU Octave
#   octave-roots  the Octave of Debian's other releases, each in a root file
#                 system: root, Debian's registry and 5 to 8 GB in
#                 /var/cache/reloj-espera/octave-roots
#   npm           the npm registry (the workflow's checker and the Mac's
#                 toolchain are installed from it)
#   macos         the Mac builds, made here with the Mac's toolchain
#   wine          Wine: every test that needs the wine fixture gets it too
# The test `labels` fails where a test has none, or one not above.
include_guard(GLOBAL)

set(TEST_LABELS unit host binaries release octave octave-roots npm macos wine)

# Labels the tests added in the calling directory: each test takes the labels
# of the first row whose expression matches its whole name. Call it at the end
# of a file that adds tests.
function(label_tests)
  set(rows
    # test names (a regular expression)                                   labels, by commas
    "timing_test|fuzz_wait|fuzz_deadline|platform_test_macos|labels"      "unit"
    "host_test|host_test_without_libut|host_test_memcheck|prioridad_test|mexhost"  "host"
    "binaries|octave_imports"                                             "binaries"
    "release"                                                             "release"
    "release_.*"                                                          "release,octave"
    "workflows"                                                           "npm"
    "wine_prefix"                                                         "wine"
    "macos_toolchain"                                                     "macos,npm"
    "macos_.*"                                                            "macos"
    "octave_(extensions|build_mex|windows_compile|interrupt|interrupt_hasta)|bench_.*"  "octave"
    "octave_.*"                                                           "octave-roots"
  )
  get_directory_property(tests TESTS)
  foreach(test ${tests})
    set(labels "")
    set(i 0)
    list(LENGTH rows count)
    while(i LESS count AND NOT labels)
      list(GET rows ${i} pattern)
      math(EXPR j "${i} + 1")
      list(GET rows ${j} row_labels)
      if(test MATCHES "^(${pattern})$")
        string(REPLACE "," ";" labels "${row_labels}")
      endif()
      math(EXPR i "${i} + 2")
    endwhile()
    get_test_property(${test} FIXTURES_REQUIRED fixtures)
    if(fixtures AND "wine" IN_LIST fixtures)
      list(APPEND labels wine)
    endif()
    if(labels)
      set_tests_properties(${test} PROPERTIES LABELS "${labels}")
    endif()
  endforeach()
endfunction()
