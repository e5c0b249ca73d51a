# -DKORVATH_SANITIZE=address,undefined (or thread, ...) builds every target,
# tests included, with those sanitizers (GCC and Clang). A sanitizer's
# finding ends the program: undefined behaviour does not recover.
set(KORVATH_SANITIZE "" CACHE STRING "Sanitizers for every target, e.g. address,undefined or thread")
if(KORVATH_SANITIZE)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    message(FATAL_ERROR "KORVATH_SANITIZE needs GCC or Clang")
  endif()
  set(korvath_sanitize_flags -fsanitize=${KORVATH_SANITIZE} -fno-omit-frame-pointer)
  if(KORVATH_SANITIZE MATCHES "undefined")
    list(APPEND korvath_sanitize_flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${korvath_sanitize_flags})
  add_link_options(${korvath_sanitize_flags})
  message(STATUS "Sanitizers: ${KORVATH_SANITIZE}")
endif()
