# The Debian package: `cpack -G DEB` in a build folder makes norvistrand_<version>_<arch>.deb
# (amd64, or arm64 from an aarch64 build) from the install rules, so it holds the program, the manual page and the copyright file.

# The manual page gzipped as Debian wants it: at most compression, with no name and no time
# stamp in the gzip header, so every build gives the same bytes.
find_program(NORVISTRAND_GZIP gzip REQUIRED)
set(manual_page ${PROJECT_BINARY_DIR}/man/norvistrand.1)
add_custom_command(OUTPUT ${manual_page}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/man/norvistrand.1 ${manual_page}
  COMMAND ${NORVISTRAND_GZIP} -9nf ${manual_page}
  DEPENDS ${PROJECT_SOURCE_DIR}/man/norvistrand.1
  VERBATIM)
add_custom_target(norvistrand_manual_page ALL DEPENDS ${manual_page}.gz)
install(FILES ${manual_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(NORVISTRAND_MAINTAINER "The Norvistrand developers <developers@norvistrand.invalid>"
    CACHE STRING "Maintainer field of the Debian package: a name and an address")

# The licence in the machine-readable form Debian reads from /usr/share/doc/<package>/copyright:
# a blank line of the licence text becomes " ." and every other line is indented by one blank.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license_text)
string(STRIP "${license_text}" license_text)
string(REPLACE "\n\n" "\n.\n" license_text "${license_text}")
string(REPLACE "\n" "\n " license_text "${license_text}")
file(WRITE ${PROJECT_BINARY_DIR}/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: norvistrand\n"
  "\n"
  "Files: *\n"
  "Copyright: 2026 The Norvistrand developers\n"
  "License: MIT\n"
  " ${license_text}\n")
install(FILES ${PROJECT_BINARY_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/norvistrand)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvistrand)
set(CPACK_PACKAGE_VENDOR "The Norvistrand developers")
set(CPACK_PACKAGE_CONTACT "${NORVISTRAND_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "convert mono PCM Wave files into normalised text signal files")
# The package's long description, in lines short enough for the package tools' listings.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Norvistrand checks that a Wave file is mono PCM of 8, 16 or 24 bits, reports\n"
    "its resolution, sample rate, length and duration, and writes a signal file\n"
    "beside it: every sample divided by the peak, one value per line. It runs as a\n"
    "screen program in a terminal, or converts many files from the command line.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The architecture is the target's, not the build machine's: a cross build for aarch64 makes
# an arm64 package. For any other target the package tools name the build machine's.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
# The C and C++ runtimes only, at the versions whose symbols the program uses (GLIBC_2.34,
# GLIBCXX_3.4.29, on amd64 and arm64 alike); scripts/package.sh checks these against what the
# built program needs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 11)")

include(CPack)
