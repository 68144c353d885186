# What `cmake --install` puts where, and the packages CPack makes of it. The version of
# every package is the project's own, from project() in the top CMakeLists.txt.

include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME pimbrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Pimbrel developers")
set(CPACK_PACKAGE_CONTACT "The Pimbrel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "console launcher that runs a program for an IDE and keeps its window open")
set(CPACK_PACKAGE_DESCRIPTION
    "Pimbrel is the program an editor or IDE starts to run a user's program in a
terminal. It shows the command line, runs the program, reports its exit code and
run time, and waits for a key so that the program's output can be read.")
set(CPACK_STRIP_FILES ON)

if(NOT WIN32)
  # The native build: the binary, its manual page and its docs, as a Debian package.
  configure_file(docs/pimbrel.1.in pimbrel.1 @ONLY)
  install(TARGETS pimbrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_BINARY_DIR}/pimbrel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md docs/editors.md docs/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

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
