# Warning flags per compiler. clang-cl reports the Clang id but takes MSVC's
# options, so the front-end variant decides which set applies.
option(KORVATH_WERROR "Treat compiler warnings as errors" OFF)

function(korvath_enable_warnings)
  set(msvc_like "$<OR:$<CXX_COMPILER_ID:MSVC>,$<STREQUAL:${CMAKE_CXX_COMPILER_FRONTEND_VARIANT},MSVC>>")
  set(gnu_like "$<AND:$<CXX_COMPILER_ID:GNU,Clang,AppleClang>,$<NOT:${msvc_like}>>")
  # /utf-8: string literals hold UTF-8 (the text tree's box-drawing characters);
  # without it MSVC reads them in the build host's code page.
  add_compile_options(
    "$<${gnu_like}:-Wall;-Wextra;-Wpedantic;-Wshadow;-Wconversion;-Wsign-conversion;-Wold-style-cast>"
    "$<${msvc_like}:/W4;/permissive-;/utf-8>")
  if(KORVATH_WERROR)
    add_compile_options("$<${gnu_like}:-Werror>" "$<${msvc_like}:/WX>")
  endif()
  # Builds that run the tests check every standard container index: an
  # off-by-one read aborts there instead of passing unnoticed. Release
  # builds (bench, package) stay unchecked.
  add_compile_definitions("$<$<AND:${gnu_like},$<NOT:$<CONFIG:Release>>>:_GLIBCXX_ASSERTIONS>")
endfunction()
