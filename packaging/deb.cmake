# The Debian package, built by CPack's DEB generator: scripts/package.sh configures a Release
# build with the prefix /usr and runs `cpack -G DEB`, which installs what install.cmake says
# into the package. The file is vestragen_VERSION_ARCH.deb, VERSION from project().

# Debian wants these two in share/doc/PACKAGE. A package without a Debian revision is a
# native one, whose changelog is changelog.gz; scripts/package.sh checks that the changelog's
# latest entry is of the project's version.
set(vestragen_changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(
  OUTPUT ${vestragen_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog
          ${CMAKE_BINARY_DIR}/packaging/changelog
  COMMAND ${VESTRAGEN_GZIP} -9 -n -f ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${vestragen_changelog_gz})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${vestragen_changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(VESTRAGEN_PACKAGE_MAINTAINER "VESTRAGEN developers <vestragen@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vestragen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "download files for time-recording and access-control terminals")
set(CPACK_PACKAGE_DESCRIPTION
    "vestragen reads the time and access system's MariaDB or MySQL database (the
central schema KvBasis and one schema per client) and writes the download
file that a time-recording or access-control terminal receives: which badges
it accepts and what it shows or records for them. Five download functions:
ZKDNL17P, ZKDNL18P, ZKDNL31P, ZKDNL60P and IDSTAMM. A scheduler runs it once
per terminal and function.

vestragen-config writes and lists its configuration file, which holds the
database login. vestragen-inspect decodes and compares download files,
explains why a badge is or is not in a terminal's download, and checks
whether the site's database gives a run what it needs. vestragen-site runs a
site's jobs from a job file, logs them, keeps their run reports and writes
metrics for the node exporter; the systemd units vestragen-site.service and
vestragen-site.timer (installed disabled) run it on a schedule as the system
user vestragen.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VESTRAGEN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The architecture from dpkg --print-architecture (CPack's default); the dependencies
# (libmariadb3, the C and C++ runtime) from dpkg-shlibdeps on the installed programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# Maintainer scripts for the site runner: postinst makes the system user vestragen and the
# directories the service writes to (/var/lib/vestragen, /var/log/vestragen) and
# /etc/vestragen; prerm stops the timer on removal; postrm removes the directories on purge.
# conffiles names the log rotation under /etc.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/prerm
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm
    ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles)
# postinst runs adduser; dpkg-shlibdeps adds the libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS adduser)

include(CPack)
