# SPDX-FileCopyrightText: 2026 Velmora developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# The quick Debian packages: `cpack -G DEB` in a build folder gives
# velmora_<version>_<arch>.deb and velmora-tools_<version>_<arch>.deb, one per
# install component (scripts/package.sh does all of it). debian/ builds the
# same two packages from the same install rules the Debian way.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora developers")
set(CPACK_PACKAGE_CONTACT "Velmora developers <maintainers@users.noreply.c-seed-7e24b4c0.example>")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The version and Debian revision are those of debian/changelog's newest entry,
# so both ways of packaging give the same version.
file(STRINGS ${PROJECT_SOURCE_DIR}/debian/changelog _velmora_changelog_top LIMIT_COUNT 1)
if(NOT _velmora_changelog_top MATCHES "^velmora \\(${PROJECT_VERSION}-([0-9]+)\\)")
  message(FATAL_ERROR "debian/changelog's newest entry is not velmora (${PROJECT_VERSION}-N): ${_velmora_changelog_top}")
endif()
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_1})

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL velmora velmora-tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/velmora/velmora)
# Libraries as the binaries really need them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_VELMORA_PACKAGE_NAME velmora)
# Chinese fonts and Qt's own translations are read at run time, so no linker
# sees them; any font with Chinese glyphs will do.
set(CPACK_DEBIAN_VELMORA_PACKAGE_DEPENDS
    "fonts-noto-cjk | fonts-wqy-microhei | fonts-wqy-zenhei | fonts-arphic-uming, qt6-translations-l10n")
# CPack indents each line of a description, and a lone "." stands for an
# empty line; the first line is the summary.
set(CPACK_COMPONENT_VELMORA_DESCRIPTION "find and fetch anime and anime music
Velmora loads a catalogue list from a server, scans the web pages the list
names for links to anime releases or anime music, shows them as a tree and
downloads the chosen file with its own HTTP engine: one redirect, resume of
partial files, live progress. The user interface is in Chinese.")

set(CPACK_DEBIAN_VELMORA-TOOLS_PACKAGE_NAME velmora-tools)
set(CPACK_DEBIAN_VELMORA-TOOLS_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_VELMORA-TOOLS_PACKAGE_SUGGESTS velmora)
set(CPACK_COMPONENT_VELMORA-TOOLS_DESCRIPTION "Velmora's catalogue and download tools without a window
velmora-scan loads a catalogue list and prints the tree Velmora would show;
velmora-fetch runs Velmora's download engine with answers to its problem
dialogs given on the command line. velmora-demo-server serves a demo
catalogue on loopback to try the program on. For developers and catalogue
hosts; the desktop program is in the velmora package.")

include(CPack)
