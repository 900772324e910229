# Installed layout:
#   <prefix>/lib/quillora/   the program folder: quillora, vantorel, libSorvane.so (and the
#                            development CA for a build against the development service)
#   <prefix>/bin/quillora    a relative link into the program folder
#   <prefix>/share/metainfo  AppStream metadata (the desktop entry and icons come with the artwork)
# The program finds the updater, the library and the CA beside its resolved path, and the
# updater replaces the files of that folder: a per-user prefix (~/.local) keeps it writable,
# a system-wide one leaves updates to the package manager.
include(GNUInstallDirs)

set(QUILLORA_PROGRAM_DIR "lib/quillora")
install(TARGETS quillora vantorel RUNTIME DESTINATION ${QUILLORA_PROGRAM_DIR})
install(TARGETS Sorvane LIBRARY DESTINATION ${QUILLORA_PROGRAM_DIR})
# Whatever builds the program builds what its install lays out beside it, so the install
# works after a build of the program alone (scripts/run builds only the targets it starts).
add_dependencies(quillora quillora_icons)
# Debian packages carry their copyright file in the documentation folder.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillora)

# A build for the development service trusts that service's authority, which the service
# makes on its first start (scripts/run copies it beside the program).
if(QUILLORA_SERVICE_URL MATCHES "^https://(127\\.0\\.0\\.1|localhost|\\[::1\\])[:/]")
  set(QUILLORA_DEV_CA "${CMAKE_BINARY_DIR}/bin/quillora-ca.pem" CACHE FILEPATH
      "Certificate authority installed beside a program built for the development service")
  install(FILES ${QUILLORA_DEV_CA} DESTINATION ${QUILLORA_PROGRAM_DIR}
          RENAME quillora-ca.pem OPTIONAL)
  install(CODE "
    if(NOT EXISTS \"${QUILLORA_DEV_CA}\")
      message(WARNING \"${QUILLORA_DEV_CA} is missing: start the development service once \"
                      \"(scripts/run) so that the installed program can trust it\")
    endif()")
endif()

install(CODE "
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(REMOVE \"\${bin}/quillora\")
  file(CREATE_LINK ../${QUILLORA_PROGRAM_DIR}/quillora \"\${bin}/quillora\" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quillora\")
")

# AppStream versions have no '_': 0.9.5_beta sorts as 0.9.5~beta.
set(QUILLORA_RELEASE_VERSION "0.9.5~beta")
set(QUILLORA_RELEASE_DATE "2024-05-20")
configure_file(${CMAKE_SOURCE_DIR}/packaging/io.github.quillora.Quillora.metainfo.xml
               ${CMAKE_BINARY_DIR}/packaging/io.github.quillora.Quillora.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/io.github.quillora.Quillora.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian package: the same layout under /usr.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "quillora")
set(CPACK_PACKAGE_VERSION "0.9.5~beta")
set(CPACK_PACKAGE_CONTACT "Quillora developers <dev@quillora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client for a cloud font library")
set(CPACK_PACKAGE_DESCRIPTION
    "Browse a cloud font service's catalogue as preview cards, mark favourites and pick fonts,\nwhich are made available to running applications for the session.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fontconfig")
# libSorvane reaches the editors through gsettings, Inkscape and GIMP through gdbus, and
# Writer and Impress through the suite's own UNO bindings for Debian's python3, all run at
# the moment of use; the applications themselves stay the user's choice.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libglib2.0-bin, python3-uno")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "inkscape (>= 1.2), gimp")
set(CPACK_STRIP_FILES ON)
include(CPack)
