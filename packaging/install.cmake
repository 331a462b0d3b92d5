# What `cmake --install` puts under the prefix, and so what the Debian package holds: the
# programs, their man pages, the table definitions and grants, the notes on setting up a
# site, the site runner's systemd units, examples and log rotation. Test programs, benchmark
# tools and fuzz targets are never installed.
include(GNUInstallDirs)

# The directories the installation creates get the usual mode whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Programs.
set(vestragen_installed_programs vestragen vestragen-config vestragen-inspect vestragen-site)
install(TARGETS ${vestragen_installed_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Man pages, compressed with gzip -9n as Debian keeps them (no name or time stamp inside, so the
# package is the same on every build); man reads them so on any system. Pages of later programs
# go into the lists.
set(vestragen_man1_pages vestragen.1 vestragen-config.1 vestragen-inspect.1 vestragen-site.1)
set(vestragen_man5_pages korvandel.ini.5)
find_program(VESTRAGEN_GZIP gzip REQUIRED)
set(vestragen_man_out ${CMAKE_BINARY_DIR}/man)
file(MAKE_DIRECTORY ${vestragen_man_out})
set(vestragen_man_gz)
foreach(page IN LISTS vestragen_man1_pages vestragen_man5_pages)
  add_custom_command(
    OUTPUT ${vestragen_man_out}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/man/${page} ${page}
    COMMAND ${VESTRAGEN_GZIP} -9 -n -f ${page}
    DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}
    WORKING_DIRECTORY ${vestragen_man_out}
    VERBATIM)
  list(APPEND vestragen_man_gz ${vestragen_man_out}/${page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${vestragen_man_gz})
foreach(section 1 5)
  foreach(page IN LISTS vestragen_man${section}_pages)
    install(FILES ${vestragen_man_out}/${page}.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
  endforeach()
endforeach()

# share/doc/vestragen: how to set a site up, and the definitions it needs.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/README.Debian
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/sql/kvbasis.sql ${PROJECT_SOURCE_DIR}/sql/client.sql
              ${PROJECT_SOURCE_DIR}/sql/grants.sql ${PROJECT_SOURCE_DIR}/sql/cluster.sql
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/sql)

# The site runner's systemd units. The timer is installed disabled: the package neither
# enables nor starts it, the administrator does, and a unit under lib/systemd/system is what
# `systemctl enable` expects. With the prefix /usr of the package that is
# /usr/lib/systemd/system, which Debian 12's systemd reads.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/systemd/vestragen-site.service
              ${PROJECT_SOURCE_DIR}/packaging/systemd/vestragen-site.timer
        DESTINATION lib/systemd/system)
# A job file and a cron line to start from, and the rotation of the runner's log (a
# configuration file of the package: /etc/logrotate.d with the prefix /usr).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/examples/jobs
              ${PROJECT_SOURCE_DIR}/packaging/examples/vestragen-site.cron
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/logrotate.conf
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/logrotate.d RENAME vestragen)
