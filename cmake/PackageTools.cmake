# Read by cpack before it builds the package. Without dpkg-shlibdeps CPack
# would build it all the same, declaring no dependencies at all.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(ZELMORA_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT ZELMORA_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps not found: install the Debian package dpkg-dev "
                        "(scripts/install-deps installs it); without it the package would declare no dependencies")
  endif()
endif()
