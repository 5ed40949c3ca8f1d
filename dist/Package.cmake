# The Debian package: `cpack -G DEB` in the build folder makes
# kadrimix_VERSION_ARCH.deb from what `cmake --install` installs. Its
# dependencies come from the shared libraries the programs link (dpkg-shlibdeps),
# plus Qt's platform plugins, which the desktop program loads at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kadrimix)
set(CPACK_PACKAGE_VENDOR Quelmark)
set(CPACK_PACKAGE_CONTACT "Quelmark <kadrimix@quelmark.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "write videos backwards, mirrored and with overlays into AVI files")
set(CPACK_PACKAGE_DESCRIPTION
  "Kadrimix re-encodes videos (AVI, MP4, MOV, MKV, WebM and whatever else FFmpeg\n\
reads) into AVI files frame by frame: backwards with its sound, mirrored, with\n\
up to ten overlay videos, compressed by a chosen compressor. The desktop program\n\
kadrimix shows progress, a live preview and a player; kadrimix-cli runs the same\n\
conversions without a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.quelmark.org/kadrimix)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(KADRIMIX_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
endif()
include(CPack)
