# cpack -G DEB: a Debian package of what `cmake --install` installs (the window, tavrio-merge,
# their desktop entry, icon and manual page), installed under /usr.
set(CPACK_PACKAGE_NAME tavrio)
set(CPACK_PACKAGE_VENDOR "Tavrio")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Merge the rows of many spreadsheet workbooks into one")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tavrio maintainers <maintainers@tavrio.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The summary is the package's first line; CPack indents these lines below it.
set(CPACK_PACKAGE_DESCRIPTION
  "Tavrio stacks the rows of many .xlsx, .xls, .ods and CSV workbooks into one new\nworkbook, from a window (tavrio) or from scripts (tavrio-merge). Its interface\nis in Simplified Chinese.")
# Debug information stays in the build; the package carries the programs alone.
set(CPACK_STRIP_FILES ON)
# The libraries the programs link come from dpkg-shlibdeps; what they load or show at run time
# is named here: Qt's platform plugins (the window does not start without one) and a font with
# the Chinese characters of the interface.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TAVRIO_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk | fonts-wqy-microhei")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
endif()
include(CPack)
