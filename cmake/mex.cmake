# add_mex(NAME): one extension, NAME.mexw64 on Windows, NAME.mexa64 on Linux
# and NAME.mexmaca64 or NAME.mexmaci64 on macOS, from NAME/NAME.cpp and the
# common sources (cmake/toolbox.cmake), written to MEX_OUTPUT_DIR with its
# help text NAME.m. What differs here by platform is how the extension is
# linked: the export list, the host's libraries, the runtime (the sources
# pick the clock and the host's interrupt request themselves).

set(MEX_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/..)

if(WIN32)
  set(MEX_SUFFIX .mexw64)
  set(MEX_PLATFORM_SOURCES
      ${MEX_SOURCE_DIR}/gateway/entry_windows.cpp
      ${MEX_SOURCE_DIR}/cmake/exports.def)
  # The host's import libraries, made from the names the extensions use; the
  # host's own libraries are not needed to build.
  find_program(DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
  set(MEX_HOST_LIBRARIES)
  foreach(lib mx mex)
    set(import ${CMAKE_BINARY_DIR}/import/lib${lib}.a)
    add_custom_command(
      OUTPUT ${import}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/import
      COMMAND ${DLLTOOL} -d ${MEX_SOURCE_DIR}/cmake/lib${lib}.def -l ${import}
      DEPENDS ${MEX_SOURCE_DIR}/cmake/lib${lib}.def
      COMMENT "Import library for lib${lib}.dll")
    add_custom_target(import_lib${lib} DEPENDS ${import})
    list(APPEND MEX_HOST_LIBRARIES ${import})
  endforeach()
  # No C runtime: the DLL imports KERNEL32 and the host, nothing a user's
  # machine may lack. No time stamp and a fixed preferred base (the loader
  # relocates it anyway), so two builds give the same bytes.
  set(MEX_LINK_OPTIONS
      -nostdlib -Wl,-e,DllEntry
      -Wl,--no-insert-timestamp -Wl,--image-base,0x180000000 -Wl,--dynamicbase -Wl,--nxcompat -Wl,--high-entropy-va
      -s)
  set(MEX_SYSTEM_LIBRARIES kernel32 gcc)
elseif(APPLE)
  # A bundle, as MATLAB's mex makes on a Mac, that exports the two entries
  # and names MATLAB's libraries by their install names. Those are text
  # stubs (.tbd) made from the lists the Windows import libraries are made
  # from: the host's own libraries are not needed to build. Compatibility
  # version 0, so that any release's library satisfies it.
  set(arch ${CMAKE_OSX_ARCHITECTURES})
  if(NOT arch)
    set(arch ${CMAKE_SYSTEM_PROCESSOR})  # a build on a Mac, for that Mac
  endif()
  if(arch STREQUAL arm64)
    set(MEX_SUFFIX .mexmaca64)
  elseif(arch STREQUAL x86_64)
    set(MEX_SUFFIX .mexmaci64)
  else()
    message(FATAL_ERROR "The macOS build is for one architecture, arm64 or x86_64, not [${arch}]")
  endif()
  function(mex_names def out)  # the names a .def file lists
    file(STRINGS ${MEX_SOURCE_DIR}/cmake/${def} names REGEX "^[A-Za-z_][A-Za-z0-9_]*$")
    list(REMOVE_ITEM names EXPORTS)
    list(TRANSFORM names PREPEND _)
    set(${out} ${names} PARENT_SCOPE)
  endfunction()
  foreach(lib mx mex ut)
    mex_names(lib${lib}.def symbols)
    list(JOIN symbols ", " symbols)
    set(stub ${CMAKE_BINARY_DIR}/stubs/lib${lib}.tbd)
    file(CONFIGURE OUTPUT ${stub} CONTENT [[--- !tapi-tbd
tbd-version: 4
targets: [ arm64-macos, x86_64-macos ]
install-name: '@rpath/lib${lib}.dylib'
current-version: 0
compatibility-version: 0
exports:
  - targets: [ arm64-macos, x86_64-macos ]
    symbols: [ ${symbols} ]
...
]])
    set(MEX_STUB_lib${lib} ${stub})
  endforeach()
  set(MEX_HOST_LIBRARIES ${MEX_STUB_libmx} ${MEX_STUB_libmex})
  mex_names(exports.def exports)
  list(TRANSFORM exports PREPEND -Wl,-exported_symbol,)
  set(MEX_PLATFORM_SOURCES)
  # Nor is libc++ linked: the extensions need nothing of it, as the Windows
  # DLLs need no C runtime, and a call into it fails the link.
  set(MEX_LINK_OPTIONS -nostdlib++ ${exports})
  set(MEX_SYSTEM_LIBRARIES)
else()
  set(MEX_SUFFIX .mexa64)
  set(MEX_PLATFORM_SOURCES)
  # Linked against the stand-in libmx.so and libmex.so for their names only:
  # the extension records them as needed libraries and the host, which has
  # them loaded already, resolves the calls.
  set(MEX_HOST_LIBRARIES mx mex)
  # Hardened (cmake/linux_link_flags.txt), as the Octave build is too.
  set(MEX_LINK_OPTIONS
      -Wl,--version-script=${MEX_SOURCE_DIR}/cmake/exports.map
      -Wl,--as-needed -Wl,-z,defs ${TOOLBOX_LINUX_LINK_FLAGS} -s)
  set(MEX_SYSTEM_LIBRARIES)
endif()

set(MEX_OUTPUT_DIR ${CMAKE_BINARY_DIR}/mex CACHE PATH "Where the extensions are written")

# The common sources with their full paths; the clock is also compiled into
# the tests and benchmarks that read the counter the extensions read.
list(TRANSFORM TOOLBOX_COMMON_SOURCES PREPEND ${MEX_SOURCE_DIR}/ OUTPUT_VARIABLE MEX_COMMON_SOURCES)
set(MEX_CLOCK_SOURCE ${MEX_SOURCE_DIR}/timing/clock.cpp)

function(add_mex name)
  add_library(${name} MODULE ${MEX_SOURCE_DIR}/${name}/${name}.cpp ${MEX_COMMON_SOURCES} ${MEX_PLATFORM_SOURCES})
  target_include_directories(${name} PRIVATE ${MEX_SOURCE_DIR})
  target_compile_definitions(${name} PRIVATE MEX_OWN_HOST_DECLARATIONS)
  target_link_options(${name} PRIVATE ${MEX_LINK_OPTIONS})
  target_link_libraries(${name} PRIVATE ${MEX_HOST_LIBRARIES} ${MEX_SYSTEM_LIBRARIES})
  if(APPLE AND "interrupt" IN_LIST TOOLBOX_USES_${name})
    # libut too. Only weak references lead there, so the linker makes it a
    # weak library as well (LC_LOAD_WEAK_DYLIB): the file loads without it.
    target_link_libraries(${name} PRIVATE ${MEX_STUB_libut})
  elseif(NOT WIN32 AND "interrupt" IN_LIST TOOLBOX_USES_${name})
    # libut, beside libmx, needed whether or not the host's libmx brings it
    # in, as MEX code linked with -lut has it; the interrupt calls stay weak
    # references all the same.
    target_link_libraries(${name} PRIVATE -Wl,--no-as-needed ut -Wl,--as-needed)
  endif()
  if(WIN32)
    add_dependencies(${name} import_libmx import_libmex)
  endif()
  set_target_properties(${name} PROPERTIES
      PREFIX "" SUFFIX ${MEX_SUFFIX}
      LIBRARY_OUTPUT_DIRECTORY ${MEX_OUTPUT_DIR}
      SKIP_BUILD_RPATH TRUE)
  # The help text (NAME.m) goes beside the extension, which the host runs in
  # its place when the function is called.
  toolbox_help_file(${name} ${MEX_OUTPUT_DIR})
endfunction()
