# The Debian package vantrel_<version>_<arch>.deb, made by CPack from the install rules (packaging/): the
# version is the project's, the dependencies are worked out from the installed binaries by dpkg-shlibdeps,
# and the binaries are stripped. scripts/package.sh builds a tree and runs CPack on it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vantrel maintainers")
set(CPACK_PACKAGE_CONTACT "${VANTREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copies clips off a file-based video recorder into MXF files")
# Debian wants the lines of the description at most 80 columns wide.
set(CPACK_PACKAGE_DESCRIPTION
  "Vantrel copies recorded clips off a file-based video recorder into OP1a MXF
files. The recorder plays a clip out over SDI with the clip's bytes carried in
the video samples; a capture card captures the pictures; Vantrel de-embeds the
payload, rebuilds every frame with its sound, data items and time code, writes
the MXF file with a report and a SHA-256 file, and reads it back to verify it.
.
The package holds the window (vantrel) and the command line (vantrel-transfer).
Without the card and the recorder both run against a simulated recorder on a
virtual capture card, which plays built-in demo clips or those of a manifest.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
