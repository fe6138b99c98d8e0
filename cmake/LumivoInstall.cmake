# Installation and the Debian package.
#
# The program reads db.dat from its own folder, so the program, the tools and
# the bundled database are installed together in one private folder, and the
# commands in bin are relative symbolic links to it. The program resolves its
# folder through the link (/proc/self/exe), finds the installed db.dat there,
# and, since an installed folder belongs to the package manager, keeps the copy
# it reads and updates in the user's data folder, whoever runs it (root too).
# The marker file beside the program says it is installed; a build folder has
# none (src/lookup/modAppInfo names it).
include(GNUInstallDirs)

set(LUMIVO_ID example.lumivo.Lumivo)
# Folders readable by everyone whatever the installing user's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(LUMIVO_PRIVATE_DIR ${CMAKE_INSTALL_LIBEXECDIR}/lumivo)

install(TARGETS lumivo lumivo-lookup lumivo-mkdb RUNTIME DESTINATION ${LUMIVO_PRIVATE_DIR})
install(FILES ${LUMIVO_BUNDLED_DB} DESTINATION ${LUMIVO_PRIVATE_DIR})
file(WRITE ${CMAKE_BINARY_DIR}/install-marker/lumivo.installed
     "An installed Lumivo: each user's database is kept in ~/.local/share/Lumivo/.\n")
install(FILES ${CMAKE_BINARY_DIR}/install-marker/lumivo.installed
        DESTINATION ${LUMIVO_PRIVATE_DIR})

file(RELATIVE_PATH lumivo_link_target /p/${CMAKE_INSTALL_BINDIR} /p/${LUMIVO_PRIVATE_DIR})
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin-links)
foreach(command lumivo lumivo-lookup lumivo-mkdb)
    file(CREATE_LINK ${lumivo_link_target}/${command} ${CMAKE_BINARY_DIR}/bin-links/${command}
         SYMBOLIC)
    install(FILES ${CMAKE_BINARY_DIR}/bin-links/${command} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

set(packaging ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${packaging}/${LUMIVO_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/${LUMIVO_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/icons/lumivo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 64 128 256)
    install(FILES ${packaging}/icons/lumivo-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME lumivo.png)
endforeach()
# The bundled data and the map outlines come with their licences.
set(lumivo_doc ${CMAKE_INSTALL_DATADIR}/doc/lumivo)
install(FILES README.md data/LICENSE-libphonenumber.txt assets/map/LICENSE-outlines.txt
        DESTINATION ${lumivo_doc})
install(FILES data/README.md DESTINATION ${lumivo_doc} RENAME README-data.md)

# cpack -G DEB: a Debian package of the above under /usr. The shared libraries'
# packages come from dpkg-shlibdeps; Qt's platform plugins, its Japanese texts
# and the fonts that stand in for the Windows ones are named here.
set(CPACK_PACKAGE_NAME lumivo)
set(CPACK_PACKAGE_VENDOR "ルミボ工房")
set(CPACK_PACKAGE_CONTACT "Lumivo <numbers@lumivo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "carrier lookup for Japanese mobile numbers")
set(CPACK_PACKAGE_DESCRIPTION
    "Lumivo tells which mobile or PHS carrier, and which regional company of it, a Japanese \
number beginning 090, 080 or 070 was originally allocated to, keeps a search log that can be \
saved as text or CSV, and updates its number database over HTTP.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://lumivo.example)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, fonts-noto-cjk, fonts-liberation2")
include(CPack)
