# Where the installed files go, relative to the install prefix (/usr in the package). The preview decoder
# library is Vantrel's own: it goes to a private folder of the multiarch library folder (lib/vantrel where
# the compiler names no architecture), which the preview looks in relative to the executable
# (VANTREL_DECODER_DIR_FROM_BIN), so that an installed tree works at any prefix without the loader's search
# path, or its cache, being changed. The folder does not follow CMAKE_INSTALL_LIBDIR, which depends on the
# prefix a tree was first configured with, so that every build tree makes the same package.
include(GNUInstallDirs)
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(VANTREL_DECODER_INSTALL_DIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/vantrel)
else()
  set(VANTREL_DECODER_INSTALL_DIR lib/vantrel)
endif()
file(RELATIVE_PATH VANTREL_DECODER_DIR_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${VANTREL_DECODER_INSTALL_DIR})

# Who answers for the package: its Maintainer field and the changelog's signature.
set(VANTREL_MAINTAINER "Vantrel maintainers <maintainers@users.noreply.c-seed-1606c9a4.example>")
