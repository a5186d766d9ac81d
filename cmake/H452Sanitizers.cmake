# H452_SANITIZE=address builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer; H452_SANITIZE=thread with ThreadSanitizer.
# Applied globally so that every library and test in the build agrees.
if(H452_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined -g)
  add_link_options(-fsanitize=address,undefined)
elseif(H452_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=thread)
elseif(NOT H452_SANITIZE STREQUAL "")
  message(FATAL_ERROR "H452_SANITIZE must be empty, address or thread")
endif()
