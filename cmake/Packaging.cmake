# Debian package of the driver: `cpack -G DEB` in a build folder.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "zelko-printer-driver")
set(CPACK_PACKAGE_VENDOR "Zelko")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Driver for Zelko PDF office multifunction printers")
set(CPACK_PACKAGE_DESCRIPTION "CUPS filter, printer descriptions and print dialog (zlk-print-dialog, zlk-print) \
for the Zelko office multifunction printers whose page description language is PDF: job accounting, secure \
release and finishing.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Zelko driver team <drivers@zelko.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION "text")
# Shared libraries are found by dpkg-shlibdeps; the spooler and pdftopdf
# are needed at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "cups, cups-filters")
include(CPack)
