# `cpack -G DEB` in the build folder makes lumatrim_VERSION_ARCH.deb with both programs, the
# desktop entry, the icon, the AppStream metainfo, the manual pages and the bash completion.
set(CPACK_PACKAGE_NAME lumatrim)
set(CPACK_PACKAGE_VENDOR "The Lumatrim developers")
set(CPACK_PACKAGE_CONTACT "The Lumatrim developers <lumatrim@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Make GIF files smaller without changing how they look")
set(CPACK_PACKAGE_DESCRIPTION
  "Lumatrim runs GIF files through a pipeline of lossless passes and writes smaller files that\n"
  "look the same. It comes as a desktop window (lumatrim) and a command-line tool\n"
  "(lumatrim-cli).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The library packages (Qt 6, zlib, the C++ runtime) come from what the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

include(CPack)
