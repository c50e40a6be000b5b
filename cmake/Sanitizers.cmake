# VANTREL_SANITIZE=address builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# VANTREL_SANITIZE=thread with ThreadSanitizer. Any finding fails the process.
if(VANTREL_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(VANTREL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT VANTREL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VANTREL_SANITIZE must be empty, address or thread, not '${VANTREL_SANITIZE}'")
endif()
