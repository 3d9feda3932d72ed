# `cpack -G DEB` in the build folder makes lumatrim_VERSION-RELEASE_ARCH.deb with both programs,
# the desktop entry, the icon, the AppStream metainfo, the manual pages, the bash completion, the
# copyright file and the Debian changelog.
set(CPACK_PACKAGE_NAME lumatrim)
set(CPACK_PACKAGE_VENDOR "The Lumatrim developers")
set(CPACK_PACKAGE_CONTACT "Lumatrim developers <lumatrim-dev@lists.lumatrim.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://lumatrim.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Make GIF files smaller without changing how they look")
# One string: separate arguments would make a list, whose ";" ended up in the package's text.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Lumatrim runs GIF files through a pipeline of lossless passes and writes\n"
  "smaller files that look the same. It comes as a desktop window (lumatrim)\n"
  "and a command-line tool (lumatrim-cli).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision makes this a package of upstream's release, with its own changelog.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The library packages (Qt 6, zlib, the C++ runtime) come from what the programs link. The Qt
# platform plugins are only recommended by Qt's libraries, and the window can't start without
# them, so they are a dependency of ours.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

# The changelog, gzip-compressed without name or time, so that builds stay the same.
set(LUMATRIM_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.Debian.in
  ${CMAKE_BINARY_DIR}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.Debian.gz
  COMMAND sh -c "gzip -9n -c '${CMAKE_BINARY_DIR}/changelog.Debian' > '${CMAKE_BINARY_DIR}/changelog.Debian.gz'"
  DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumatrim)

include(CPack)
