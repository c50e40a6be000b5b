# VANTREL_SANITIZE=address builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# VANTREL_SANITIZE=thread with ThreadSanitizer. Any finding fails the process. Both compile at -O1 (after the
# build type's flags, so it wins over a Debug build's none): the sanitizers are made for it, and the tests run
# far quicker than unoptimised, with frame pointers kept for whole stacks. Their debug information is line
# tables only (-g1, again after the build type's -g): a finding's stack still names every function, inlined
# ones too, with file and line, and the compiler no longer tracks every local variable, which took near a
# quarter of these builds' compile time.
if(VANTREL_SANITIZE STREQUAL "address")
  add_compile_options(-O1 -g1 -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(VANTREL_SANITIZE STREQUAL "thread")
  add_compile_options(-O1 -g1 -fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT VANTREL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VANTREL_SANITIZE must be empty, address or thread, not '${VANTREL_SANITIZE}'")
endif()
