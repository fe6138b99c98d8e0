# Installation on Windows: the program, the tools and the bundled database side
# by side in one folder, as the program expects its database beside itself.
# tools/windows/build.sh adds Qt's and MinGW's DLLs, Qt's plugins and
# translations, and makes the installer and the portable zip from this folder.
install(TARGETS lumivo lumivo-lookup lumivo-mkdb RUNTIME DESTINATION .)
install(FILES ${LUMIVO_DIST_DB} DESTINATION .)
install(FILES README.md data/LICENSE-libphonenumber.txt assets/map/LICENSE-outlines.txt
        DESTINATION doc)
