# What `cmake --install` puts where, and the packages CPack makes of it. The version of
# every package is the project's own, from project() in the top CMakeLists.txt.

include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME pimbrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Pimbrel developers")
set(CPACK_PACKAGE_CONTACT "The Pimbrel developers <pimbrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "console launcher that runs a program for an IDE and keeps its window open")
# Debian wants the lines of the long description short: at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
    "Pimbrel is the program an editor or IDE starts to run a user's program
in a terminal. It shows the command line, runs the program, reports its
exit code and run time, and waits for a key so that the program's output
can be read.")
set(CPACK_STRIP_FILES ON)

if(NOT WIN32)
  # The native build: the binary, its manual page, its docs and its bash completion, as a
  # Debian package.
  # The manual page is dated as the release is, by the newest entry of the changelog (its
  # first signature line, " -- name <address>  Wed, 09 Dec 2026 16:00:00 +0000"), never by
  # the day of the build: the same sources make the same page.
  set(changelog ${PROJECT_SOURCE_DIR}/docs/changelog)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
  file(STRINGS ${changelog} signature REGEX "^ -- " LIMIT_COUNT 1)
  if(NOT signature MATCHES ", ([0-9]?[0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    message(FATAL_ERROR "no date in the newest entry of ${changelog}: '${signature}'")
  endif()
  set(day ${CMAKE_MATCH_1})
  set(year ${CMAKE_MATCH_3})
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(FIND months ${CMAKE_MATCH_2} month)
  if(month LESS 0)
    message(FATAL_ERROR "no month in the newest entry of ${changelog}: '${signature}'")
  endif()
  math(EXPR month "${month} + 1")
  string(REGEX REPLACE "^([0-9])$" "0\\1" month ${month})
  string(REGEX REPLACE "^([0-9])$" "0\\1" day ${day})
  set(PIMBREL_RELEASE_DATE ${year}-${month}-${day})
  configure_file(docs/pimbrel.1.in pimbrel.1 @ONLY)
  # The manual page and the changelog go in gzipped, as Debian ships them; -n leaves the
  # name and the time out, so the same text always makes the same bytes.
  function(install_gzipped source destination)
    get_filename_component(name ${source} NAME)
    set(gzipped ${PROJECT_BINARY_DIR}/gzipped/${name}.gz)
    add_custom_command(OUTPUT ${gzipped}
      COMMAND sh -c "gzip -9n <\"$0\" >\"$1\"" ${source} ${gzipped}
      DEPENDS ${source} VERBATIM)
    add_custom_target(gzip_${name} ALL DEPENDS ${gzipped})
    install(FILES ${gzipped} DESTINATION ${destination})
  endfunction()
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/gzipped)
  install(TARGETS pimbrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Stripped as Debian strips binaries: the compilers' version strings in .comment go too.
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:pimbrel>\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")
  install_gzipped(${PROJECT_BINARY_DIR}/pimbrel.1 ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md docs/editors.md docs/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Where bash-completion looks for a command's completion, by the command's name, when it
  # is first completed: under /usr/share for the package, under the prefix otherwise
  # (/usr/local/share is among the places it looks by default).
  install(FILES completion/pimbrel DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  install_gzipped(${PROJECT_SOURCE_DIR}/docs/changelog ${CMAKE_INSTALL_DOCDIR})
  # Lintian takes the static PIE for a shared library; the file says why it is one.
  install(FILES docs/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME pimbrel)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends: from the libraries the binary links
endif()

if(WIN32)
  # The Windows build: a zip of Pimbrel.exe (with its version resource), a short text for
  # Windows users, who place the exe beside their IDE, and the licence; both texts with
  # CRLF and a .txt name, so that a double click opens them in Notepad.
  install(TARGETS pimbrel RUNTIME DESTINATION .)
  # Notepad of every Windows version reads it: UTF-8 with a byte order mark, CRLF.
  configure_file(docs/windows-readme.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Pimbrel-${PROJECT_VERSION}-win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()

include(CPack)
