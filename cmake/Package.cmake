# `cpack -G DEB` in the build folder makes vantora_<version>_amd64.deb from
# the install rules: programs in /usr/lib/vantora, launchers in /usr/bin.
set(CPACK_PACKAGE_NAME vantora)
set(CPACK_PACKAGE_VENDOR "Vantora developers")
set(CPACK_PACKAGE_CONTACT "Vantora developers <dev@vantora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for live channels published on web servers")
set(CPACK_PACKAGE_DESCRIPTION "Vantomon shows the current picture of live channels published on web
servers: one channel large, or the channels of a folder as thumbnails. It
keeps favourites and can save every new picture. Listmender downloads
channel lists and builds the channel list the viewer reads.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# The install script writes the desktop entries for the final prefix.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries the programs link, found by dpkg-shlibdeps; Qt's platform and
# image plugins come with libqt6gui6. Without a Japanese font every
# caption is a row of boxes.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipaexfont-gothic | fonts-noto-cjk")
# The installed package's folder is marked as such (see the script).
set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/PackageMarker.cmake")
include(CPack)
