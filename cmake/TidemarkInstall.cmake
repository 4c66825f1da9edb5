# What `cmake --install` puts where (GNUInstallDirs), and the Debian package
# CPack builds from the same rules.
#   bin/                         tidemark, tidemark-gui
#   lib/tidemark/                the recorder library and the shim
#   share/applications/          the desktop entry
#   share/metainfo/              AppStream data
#   share/icons/hicolor/scalable/apps/   the icon
#   share/man/man1/              the manual pages (compressed)
#   share/bash-completion/completions/, share/zsh/vendor-completions/
#   share/doc/tidemark/          copyright, changelog

set(TIDEMARK_APP_ID org.tidemark.Tidemark)

install(TARGETS tidemark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tidemark-gui)
  install(TARGETS tidemark-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET tm_vrec_aspi)
  install(TARGETS tm_vrec_aspi tm_vrec_shim LIBRARY DESTINATION ${TIDEMARK_PRIVATE_LIBDIR})
endif()

set(data ${PROJECT_SOURCE_DIR}/data)
install(FILES ${data}/${TIDEMARK_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data}/${TIDEMARK_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data}/${TIDEMARK_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${data}/completion/tidemark.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tidemark)
install(FILES ${data}/completion/_tidemark DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)

# Manual pages and the changelog go compressed, as Debian has them; gzip -n
# keeps the files free of a time stamp.
set(compressed)
foreach(source man/tidemark.1 man/tidemark-gui.1 ../packaging/changelog)
  get_filename_component(name ${source} NAME)
  set(out ${CMAKE_BINARY_DIR}/share/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/share
    COMMAND gzip -9n -c ${data}/${source} > ${out}
    DEPENDS ${data}/${source}
    COMMENT "Compressing ${name}")
  list(APPEND compressed ${out})
endforeach()
add_custom_target(tidemark_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/share/tidemark.1.gz ${CMAKE_BINARY_DIR}/share/tidemark-gui.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/share/changelog.gz
        DESTINATION ${TIDEMARK_DOCDIR})

# The Debian package: `cpack -G DEB` in the build folder.
set(TIDEMARK_PACKAGE_MAINTAINER "Tidemark developers <tidemark@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidemark)
set(CPACK_PACKAGE_VENDOR "The Tidemark developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TIDEMARK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CD/DVD burner for data discs and ISO images")
set(CPACK_PACKAGE_DESCRIPTION
    "Tidemark records ISO 9660 + Joliet data discs on CD and DVD recorders, saves
compilations as ISO images, burns images, blanks rewritable discs, continues
multisession discs and extracts files from them. It has a Qt desktop
application, tidemark-gui, and a command-line program, tidemark, over one
core, and ships an emulated recorder for trying it out without a drive.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "udisks2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_THREADS 0)
include(CPack)
