# Where the installed files go, relative to the install prefix (/usr in the package). The preview decoder
# library is Vantrel's own: it goes to a folder of its own, which the preview looks in relative to the
# executable (VANTREL_DECODER_DIR_FROM_BIN), so that an installed tree works at any prefix without the
# loader's search path being changed. The folder is lib/vantrel whatever the prefix, so that every build
# tree makes the same package.
include(GNUInstallDirs)
set(VANTREL_DECODER_INSTALL_DIR lib/vantrel)
file(RELATIVE_PATH VANTREL_DECODER_DIR_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${VANTREL_DECODER_INSTALL_DIR})

# Who answers for the package: its Maintainer field and the changelog's signature.
set(VANTREL_MAINTAINER "Vantrel maintainers <maintainers@users.noreply.c-seed-1606c9a4.example>")
