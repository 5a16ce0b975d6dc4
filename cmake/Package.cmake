# `make package` (cpack -G DEB): zelmora_<version>_amd64.deb from the install
# rules of the parts: the programs, the desktop entry and icons, the manual
# pages and the bash completion. The dependencies come from the shared
# libraries the programs link (dpkg-shlibdeps, package dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zelmora developers")
set(ZELMORA_MAINTAINER "Zelmora developers <dev@zelmora.local>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")
set(CPACK_PACKAGE_CONTACT "${ZELMORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Wubi-86 code table tool: shortest, full and duplicate codes")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # zelmora_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageTools.cmake)
# The window looks for a Chinese font and opens a folder window after an
# export; `zelmora-cli score --freq jieba|essay` reads those packages' word
# lists (and names the package when one is missing). None is a library the
# programs link.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-zenhei | fonts-noto-cjk, xdg-utils, python3-jieba, rime-essay")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description; CPack puts the summary above it and indents it as
# the control file wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Zelmora is a desktop tool, with the command-line tool zelmora-cli, for the
maintainers of Wubi-86 input-method code tables (GBK text, one line per
code). From a table it derives the table expanded to one word per line,
equal codes grouped, entries by code length, duplicate codes, full codes
and three-letter short codes, the shortest code of every word and the
relation of short and full codes.

zelmora-cli runs the same derivations without a window, converts tables
between the formats of Rime, libime, fcitx4, ibus-table and Yong in GBK,
GB18030, UTF-8 or UTF-16, checks tables, codes new words by the Wubi-86
rules, and scores how a table types texts and word-frequency lists.")

include(CPack)
