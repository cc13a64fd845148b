# The sanitizer build (preset "sanitize", clang): every target, the
# extensions and the stand-in host included, with AddressSanitizer and
# UndefinedBehaviorSanitizer, each report ending the program. All that the
# sanitizer build does differently from the ordinary ones is here.
option(MEX_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(MEX_SANITIZE)
  # float-cast-overflow: a double outside the range of the integer it is
  # converted to, the fault a tick count computed from a bad duration makes.
  set(MEX_SANITIZER_FLAGS -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all)
  add_compile_options(${MEX_SANITIZER_FLAGS} -fno-omit-frame-pointer)
  add_link_options(${MEX_SANITIZER_FLAGS})
  # The sanitizer runtimes are linked into the program that loads an
  # extension, which resolves the extension's calls into them at load time:
  # -z defs would refuse them as undefined. Symbols stay, for readable reports.
  list(REMOVE_ITEM MEX_LINK_OPTIONS -Wl,-z,defs -s)
endif()
