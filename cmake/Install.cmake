# Installation and the Debian package.
#
# The product lives under one installation root, the install prefix
# (/opt/velmora unless CMAKE_INSTALL_PREFIX says otherwise):
#   <root>/bin/auditlog     finds the root as the parent of its own real folder
#   <root>/SYSTEM/          the database and zlk.ini: variable data written by the
#                           product and the administrator, installed empty and
#                           never filled or overwritten by an install
#   <root>/HELP/manual/     the operator's manual, when the checkout has one
# The menu entry, icons, manual page, completion and documents go where the
# desktop and the shell look for them: under /usr/share, with the link
# /usr/bin/auditlog, for a root under /opt; under the prefix otherwise.
# Staged installs use DESTDIR: DESTDIR=/tmp/stage cmake --install build

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /opt/velmora CACHE PATH "Installation root of the product" FORCE)
endif()
include(GNUInstallDirs)

if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR CMAKE_INSTALL_BINDIR MATCHES "/")
  message(FATAL_ERROR "CMAKE_INSTALL_BINDIR (${CMAKE_INSTALL_BINDIR}) must be one folder "
                      "inside the installation root: the program finds the root as its parent.")
endif()

if(CMAKE_INSTALL_PREFIX MATCHES "^/opt/")
  set(_al_share_default /usr/share)
  set(_al_link_default /usr/bin)
else()
  set(_al_share_default ${CMAKE_INSTALL_FULL_DATAROOTDIR})
  set(_al_link_default "")
endif()
if(NOT DEFINED AUDITLOG_SHARE_DIR)
  set(AUDITLOG_SHARE_DIR ${_al_share_default})
endif()
if(NOT DEFINED AUDITLOG_LINK_DIR)
  set(AUDITLOG_LINK_DIR ${_al_link_default})
endif()
set(AUDITLOG_DOC_DIR ${AUDITLOG_SHARE_DIR}/doc/auditlog)
set(AUDITLOG_PACKAGE_RELEASE 1)
if(AUDITLOG_LINK_DIR)
  set(AUDITLOG_EXEC auditlog)
else()
  set(AUDITLOG_EXEC ${CMAKE_INSTALL_FULL_BINDIR}/auditlog)
  if(AUDITLOG_EXEC MATCHES " ")
    set(AUDITLOG_EXEC "\"${AUDITLOG_EXEC}\"")
  endif()
endif()

set(_al_src ${PROJECT_SOURCE_DIR}/packaging)
set(_al_gen ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_al_gen})

# Dates honour SOURCE_DATE_EPOCH, so the package can be rebuilt bit for bit.
string(TIMESTAMP AUDITLOG_MAN_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP AUDITLOG_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${_al_src}/auditlog.1.in ${_al_gen}/auditlog.1 @ONLY)
configure_file(${_al_src}/auditlog-copydb.1.in ${_al_gen}/auditlog-copydb.1 @ONLY)
configure_file(${_al_src}/auditlog.desktop.in ${_al_gen}/auditlog.desktop @ONLY)
configure_file(${_al_src}/changelog.in ${_al_gen}/changelog.Debian @ONLY)
# Compressed the Debian way: best compression, no name or time in the header.
foreach(_al_file auditlog.1 auditlog-copydb.1 changelog.Debian)
  execute_process(COMMAND gzip -9nc ${_al_gen}/${_al_file}
                  OUTPUT_FILE ${_al_gen}/${_al_file}.gz RESULT_VARIABLE _al_rc)
  if(NOT _al_rc EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${_al_gen}/${_al_file}")
  endif()
endforeach()

# The program's icon as SVG and at the PNG sizes of the icon theme.
set(_al_icon ${PROJECT_SOURCE_DIR}/resources/icons/report.svg)
set(_al_pngs)
foreach(_al_size 16 22 24 32 48 64 128 256)
  set(_al_png ${_al_gen}/icons/${_al_size}/auditlog.png)
  add_custom_command(OUTPUT ${_al_png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_al_gen}/icons/${_al_size}
    COMMAND svgtopng ${_al_icon} ${_al_size} ${_al_png}
    DEPENDS svgtopng ${_al_icon} VERBATIM)
  list(APPEND _al_pngs ${_al_png})
  install(FILES ${_al_png}
          DESTINATION ${AUDITLOG_SHARE_DIR}/icons/hicolor/${_al_size}x${_al_size}/apps)
endforeach()
add_custom_target(auditlog_icons ALL DEPENDS ${_al_pngs})
install(FILES ${_al_icon} DESTINATION ${AUDITLOG_SHARE_DIR}/icons/hicolor/scalable/apps
        RENAME auditlog.svg)

# Under the installation root: the program, and the tool that copies its
# database file into PostgreSQL.
install(TARGETS auditlog auditlog-copydb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (the package's) also drops the compiler's notes, as dh_strip does.
foreach(_al_exe auditlog auditlog-copydb)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                    \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}/${_al_exe}\")
  endif()")
endforeach()
install(DIRECTORY DESTINATION SYSTEM)
if(EXISTS ${PROJECT_SOURCE_DIR}/docs/manual)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/manual/ DESTINATION HELP/manual)
endif()

# Where the desktop and the shell look.
if(AUDITLOG_LINK_DIR)
  foreach(_al_exe auditlog auditlog-copydb)
    file(CREATE_LINK ${CMAKE_INSTALL_FULL_BINDIR}/${_al_exe} ${_al_gen}/${_al_exe} SYMBOLIC)
    install(FILES ${_al_gen}/${_al_exe} DESTINATION ${AUDITLOG_LINK_DIR})
  endforeach()
endif()
install(FILES ${_al_gen}/auditlog.desktop DESTINATION ${AUDITLOG_SHARE_DIR}/applications)
install(FILES ${_al_gen}/auditlog.1.gz ${_al_gen}/auditlog-copydb.1.gz
        DESTINATION ${AUDITLOG_SHARE_DIR}/man/man1)
install(FILES ${_al_src}/auditlog.bash-completion
        DESTINATION ${AUDITLOG_SHARE_DIR}/bash-completion/completions RENAME auditlog)
install(FILES ${_al_src}/copyright ${_al_gen}/changelog.Debian.gz DESTINATION ${AUDITLOG_DOC_DIR})
# For a central database that starts empty: psql -f (auditlog-copydb makes it too).
install(FILES ${PROJECT_SOURCE_DIR}/sql/audit_schema_postgresql.sql
        DESTINATION ${AUDITLOG_SHARE_DIR}/auditlog)
install(FILES ${_al_src}/examples/auditlog-report.service
              ${_al_src}/examples/auditlog-report.timer
              ${_al_src}/examples/auditlog.cron
        DESTINATION ${AUDITLOG_DOC_DIR}/examples)
if(CMAKE_INSTALL_PREFIX MATCHES "^/opt/")
  install(FILES ${_al_src}/lintian-overrides
          DESTINATION ${AUDITLOG_SHARE_DIR}/lintian/overrides RENAME auditlog)
endif()

# The Debian package (scripts/package.sh): cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME auditlog)
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_CONTACT "Velmora Audit Log Packaging <packages@velmora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audit log viewer and reporter of the Velmora EDI product")
set(CPACK_PACKAGE_DESCRIPTION
    "The programs of the Velmora electronic-data-interchange product append one
entry per event (status, warning, error, fatal) to an audit database. This
program shows those entries in a sortable, filterable grid, opens one in
detail, deletes and purges entries, and prints, previews, saves and mails
reports. A scheduler can run it unattended to produce one report and delete
exactly the entries it reported.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${AUDITLOG_PACKAGE_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Library packages come from the linked libraries; the SQLite driver is a
# plug-in Qt loads at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, fonts-droid-fallback, fonts-symbola, xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
include(CPack)
