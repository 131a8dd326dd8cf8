# Native checks of the decision core. With QB7_SANITIZE on, every target defined after this
# file is included (qb7_core, GoogleTest, the unit tests) is built with AddressSanitizer and
# UndefinedBehaviorSanitizer. A finding aborts the test binary instead of printing and going
# on, so it fails the ctest run rather than scrolling past.
option(QB7_SANITIZE "Build natively with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(QB7_SANITIZE)
  # MinGW has no AddressSanitizer runtime, and Wine could not host it anyway.
  if(WIN32 OR CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "QB7_SANITIZE needs a native build, without a toolchain file")
  endif()
  set(QB7_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
      -fno-omit-frame-pointer)
  add_compile_options(${QB7_SANITIZE_FLAGS} -g)
  add_link_options(${QB7_SANITIZE_FLAGS})
endif()
