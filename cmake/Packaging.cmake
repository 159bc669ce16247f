# The Debian package: `cpack -G DEB` in a build folder gives
# velmora_<version>_<arch>.deb (scripts/package.sh does all of it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmora developers")
set(CPACK_PACKAGE_CONTACT "Velmora developers <maintainers@users.noreply.c-seed-7e24b4c0.example>")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/velmora/velmora)
# Libraries as the binaries really need them; the Chinese fonts and Qt's own
# translations are read at run time, so no linker sees them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find and fetch anime and anime music")
# The summary above is the first line of the control file's Description; this
# is the text below it. CPack indents each line, and a lone "." stands for an
# empty line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velmora loads a catalogue list from a server, scans the web pages the list
names for links to anime releases or anime music, shows them as a tree and
downloads the chosen file with its own HTTP engine: one redirect, resume of
partial files, live progress. The user interface is in Chinese.
.
The package also holds velmora-scan and velmora-fetch, which load a
catalogue and download a file without a display, and velmora-demo-server,
a loopback server with a demo catalogue to try the program on.")

include(CPack)
