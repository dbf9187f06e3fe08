# The Debian package, built by `cpack` in a build folder (scripts/package makes a
# Release one): everything the install rules put under /usr, with the package's
# dependencies read from the libraries the programs link (dpkg-shlibdeps).
set(CELWRIGHT_PACKAGE_MAINTAINER "Celwright developers <celwright@example.org>"
    CACHE STRING "Maintainer field of the Debian package: name <address>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME celwright)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sprite-sheet animation editor for game developers")
set(CPACK_PACKAGE_DESCRIPTION
"Celwright loads a sprite sheet (a 24-bit BMP, or a PNG of any kind with
transparency), marks each frame's rectangle and hot spot under magnification,
sorts the frames into actions, directions and frames and previews the
animation. It exports one compact sprite image file (.sif) that a game can
load, or a JSON atlas that game engines' importers read.

The package holds the editor, celwright, and the command-line tool
celwright-cli, which exports, imports and inspects the same files in build
pipelines.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CELWRIGHT_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
