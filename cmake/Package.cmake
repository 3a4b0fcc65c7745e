# `make deb`: a Debian package of the installed tree, built with CPack into
# the build folder as quorvil_<version>_<arch>.deb. Its dependencies come
# from dpkg-shlibdeps; the package is configured with the prefix /usr and the
# system folders /etc and /lib/systemd/system (see the Makefile).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvil)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quorvil maintainers <maintainers@quorvil.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "log monitor that runs a task when an entry matters")
set(CPACK_PACKAGE_DESCRIPTION
  "Quorvil watches event logs and text log files for the entries that matter
to an administrator, and runs a task when one turns up. It has a Qt desktop
program and a headless program with a systemd unit, quorvil@.service, that
runs one scanner per workspace.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "systemd")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/data/debian/conffiles
  ${PROJECT_SOURCE_DIR}/data/debian/postinst
  ${PROJECT_SOURCE_DIR}/data/debian/prerm
  ${PROJECT_SOURCE_DIR}/data/debian/postrm)
set(CPACK_STRIP_FILES ON)
set(QUORVIL_PACKAGE_DIR ${PROJECT_BINARY_DIR} CACHE PATH "Where make deb puts the package")
set(CPACK_OUTPUT_FILE_PREFIX ${QUORVIL_PACKAGE_DIR})
include(CPack)
