# Read by cpack once per generator. Without dpkg-shlibdeps CPack still builds
# the Debian package, only with no Depends field; stop instead.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(KORVATH_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT KORVATH_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps not found; install dpkg-dev "
                        "(KORVATH_DEPS=package scripts/install-deps.sh)")
  endif()
endif()
