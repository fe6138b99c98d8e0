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
# A stripped install (cpack, install --strip) also drops the compiler's
# identification notes, which no one needs at run time.
install(CODE "
if(CMAKE_INSTALL_DO_STRIP)
    foreach(f lumivo lumivo-lookup lumivo-mkdb)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${LUMIVO_PRIVATE_DIR}/\${f}\"
                        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
endif()")
install(FILES ${LUMIVO_DIST_DB} DESTINATION ${LUMIVO_PRIVATE_DIR})
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
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${packaging}/icons/lumivo-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME lumivo.png)
endforeach()
# The bundled data and the map outlines with their licences (the project's own
# is in the copyright file below).
set(lumivo_doc ${CMAKE_INSTALL_DATADIR}/doc/lumivo)
install(FILES README.md data/LICENSE-libphonenumber.txt assets/map/LICENSE-outlines.txt
        DESTINATION ${lumivo_doc})
install(FILES data/README.md DESTINATION ${lumivo_doc} RENAME README-data.md)
install(FILES ${packaging}/completions/lumivo-lookup ${packaging}/completions/lumivo-mkdb
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages, compressed as Debian keeps them. The tools' pages are made from
# their own --help and --version by help2man, so they never disagree with the
# tools; the window program, which takes no options, has a written one.
set(lumivo_release_date 2026-12-06)
set(lumivo_man ${CMAKE_BINARY_DIR}/man)
file(MAKE_DIRECTORY ${lumivo_man})
set(lumivo_manpages ${lumivo_man}/lumivo.1.gz)
add_custom_command(
    OUTPUT ${lumivo_man}/lumivo.1.gz
    COMMAND sh -c "gzip -9n < \"$1\" > \"$2\"" sh ${packaging}/lumivo.1 ${lumivo_man}/lumivo.1.gz
    DEPENDS ${packaging}/lumivo.1
    VERBATIM)
find_program(LUMIVO_HELP2MAN help2man)
if(LUMIVO_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
    foreach(tool lumivo-lookup lumivo-mkdb)
        if(tool STREQUAL lumivo-lookup)
            set(what "look up the carrier of Japanese mobile numbers")
            set(commands)
        else()
            set(what "make Lumivo's number database and update version file")
            set(commands build encode decode)
        endif()
        # Sections no help holds (FILES), where the tool has them.
        set(sections)
        if(EXISTS ${packaging}/${tool}.h2m)
            set(sections ${packaging}/${tool}.h2m)
        endif()
        add_custom_command(
            OUTPUT ${lumivo_man}/${tool}.1.gz
            COMMAND sh ${packaging}/make-manpage.sh $<TARGET_FILE:${tool}> ${what}
                    ${lumivo_release_date} ${lumivo_man}/${tool}.1.gz ${commands}
            DEPENDS ${tool} ${packaging}/make-manpage.sh ${sections}
            COMMENT "Writing the manual page of ${tool}"
            VERBATIM)
        list(APPEND lumivo_manpages ${lumivo_man}/${tool}.1.gz)
        # The page as built, against the same made again (tests/tools).
        add_test(NAME test_tools_manpage_${tool}
                 COMMAND sh ${PROJECT_SOURCE_DIR}/tests/tools/test-manpage.sh
                         ${lumivo_man}/${tool}.1.gz $<TARGET_FILE:${tool}> ${what}
                         ${lumivo_release_date} ${commands})
        set_tests_properties(test_tools_manpage_${tool} PROPERTIES SKIP_RETURN_CODE 77)
    endforeach()
else()
    message(WARNING "help2man not found: lumivo-lookup and lumivo-mkdb get no manual page "
                    "(tools/install-deps.sh installs it)")
endif()
add_custom_target(manpages ALL DEPENDS ${lumivo_manpages})
install(FILES ${lumivo_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# What Debian asks of every package: the copyright in its machine-readable form
# and the package's changelog, compressed without a time stamp.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/deb-doc)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/deb-doc/changelog.Debian.gz
    COMMAND sh -c "gzip -9n < \"$1\" > \"$2\"" sh ${packaging}/changelog.Debian
            ${CMAKE_BINARY_DIR}/deb-doc/changelog.Debian.gz
    DEPENDS ${packaging}/changelog.Debian
    VERBATIM)
add_custom_target(deb_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/deb-doc/changelog.Debian.gz)
install(FILES ${packaging}/copyright ${CMAKE_BINARY_DIR}/deb-doc/changelog.Debian.gz
        DESTINATION ${lumivo_doc})
install(FILES ${packaging}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME lumivo)

# The list of what this install put where, kept with the install itself, so
# that removing it never depends on the build folder's install_manifest.txt,
# which every later install or cpack rewrites for its own prefix. A package
# gets none: dpkg keeps its own list.
install(CODE "
if(NOT \"\$ENV{DESTDIR}\" MATCHES \"/_CPack_Packages/\")
    set(lumivo_list \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/lumivo/installed-files.txt\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${lumivo_list}\")
    list(JOIN CMAKE_INSTALL_MANIFEST_FILES \"\\n\" lumivo_files)
    message(STATUS \"Listing what was installed: \$ENV{DESTDIR}\${lumivo_list}\")
    file(WRITE \"\$ENV{DESTDIR}\${lumivo_list}\" \"\${lumivo_files}\\n\")
endif()")

# cpack -G DEB: a Debian package of the above under /usr. The shared libraries'
# packages come from dpkg-shlibdeps; Qt's platform plugins are named here.
set(CPACK_PACKAGE_NAME lumivo)
set(CPACK_PACKAGE_VENDOR "ルミボ工房")
set(CPACK_PACKAGE_CONTACT "Lumivo <numbers@lumivo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "carrier lookup for Japanese mobile numbers")
# Debian shows the description as written: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Lumivo tells which mobile or PHS carrier, and which regional company of it,
a Japanese number beginning 090, 080, 070 or 060 was originally allocated to,
keeps a search log that can be saved as text or CSV, and updates its number
database over HTTP. The command-line tools lumivo-lookup and lumivo-mkdb
answer lists of numbers and make databases.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package's own revision: the first packaging of this version.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
# The changelog's newest entry must name the version being packaged.
file(STRINGS ${packaging}/changelog.Debian lumivo_changelog_top LIMIT_COUNT 1)
if(NOT lumivo_changelog_top MATCHES
   "^lumivo \\(${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}\\) ")
    message(FATAL_ERROR "packaging/changelog.Debian does not begin with version "
                        "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}: add an entry")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://lumivo.example)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's Japanese texts and the fonts that stand in for the Windows ones: the
# program runs without them (Qt's dialogs in English, another Japanese font).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-noto-cjk, fonts-liberation2")
if(LUMIVO_UPDATE_HOST STREQUAL "")
    # Packaging a build that asks the placeholder host is allowed, and said.
    file(WRITE ${CMAKE_BINARY_DIR}/cpack-placeholder-warning.cmake
         "message(WARNING \"This package asks update.lumivo.example for updates, a \"
         \"placeholder that never resolves: its database update cannot succeed. \"
         \"Configure with -DLUMIVO_UPDATE_HOST=your.server to change it.\")\n")
    set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/cpack-placeholder-warning.cmake)
endif()
include(CPack)
