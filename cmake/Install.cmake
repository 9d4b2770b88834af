# What `make install` puts in place (PREFIX, default /usr/local; DESTDIR is
# honoured), and the Debian packages `make package` builds from the same
# rules:
#   bin/equation, bin/polymul
#   lib/tessel/displays/tessel-terminal.so               the terminal display
#   lib/tessel/displays/tessel-window.so                 the window display (Qt 6)
#   lib/tessel/messages/T5Q0RE63.DLL                     the message library (the texts of errors)
#   share/applications/equation.desktop, polymul.desktop
#   share/icons/hicolor/scalable/apps/tessel-equation.svg, tessel-polymul.svg
#   share/man/man1/equation.1.gz, polymul.1.gz           English
#   share/man/ja/man1/equation.1.gz, polymul.1.gz        Japanese
# The programs look for the display modules in ../lib/tessel/displays from their own
# folder. Two components: "programs" (everything a server needs: no Qt) and
# "window" (the window module, the desktop entries and icons).
set(linux ${PROJECT_SOURCE_DIR}/packaging/linux)
set(modules lib/tessel/displays)

install(TARGETS equation polymul RUNTIME DESTINATION bin COMPONENT programs)
# Modules are loaded, not run: no execute bits.
set(module_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(TARGETS tessel_terminal LIBRARY DESTINATION ${modules} PERMISSIONS ${module_permissions} COMPONENT programs)
if(TARGET tessel_window)
  install(TARGETS tessel_window LIBRARY DESTINATION ${modules} PERMISSIONS ${module_permissions} COMPONENT window)
endif()
# (In a folder of its own: a library directly in lib/tessel would make the
# package run ldconfig for nothing.)
install(TARGETS tessel_message_library LIBRARY DESTINATION lib/tessel/messages PERMISSIONS ${module_permissions}
        COMPONENT programs)
# Only in the package: the machine's registry store names the library's
# folder (the installation value TESSEL, HKEY_LOCAL_MACHINE), a conffile the
# administrator may change. A plain installation needs none: the programs
# look in lib/tessel/messages beside their own folder.
set(machine_store ${PROJECT_BINARY_DIR}/etc/registry.reg)
file(WRITE ${machine_store} "Windows Registry Editor Version 5.00\n\n"
  "[HKEY_LOCAL_MACHINE\\Software\\Norvane\\Tessel V6.3\\ENV]\n"
  "\"TESSEL\"=\"${CMAKE_INSTALL_PREFIX}/lib/tessel/messages\"\n")
install(FILES ${machine_store} DESTINATION /etc/tessel COMPONENT programs EXCLUDE_FROM_ALL)
file(WRITE ${PROJECT_BINARY_DIR}/conffiles "/etc/tessel/registry.reg\n")
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/conffiles)
install(FILES ${linux}/equation.desktop ${linux}/polymul.desktop DESTINATION share/applications COMPONENT window)
install(FILES ${linux}/tessel-equation.svg ${linux}/tessel-polymul.svg
        DESTINATION share/icons/hicolor/scalable/apps COMPONENT window)

# Man pages, compressed as Debian wants them (and as man reads them anywhere).
find_program(GZIP gzip REQUIRED)
set(pages)
foreach(page man/equation.1 man/polymul.1 man/ja/equation.1 man/ja/polymul.1)
  set(out ${PROJECT_BINARY_DIR}/${page}.gz)
  get_filename_component(folder ${out} DIRECTORY)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${GZIP} -9 -n -c ${linux}/${page} > ${out}
    DEPENDS ${linux}/${page} VERBATIM)
  list(APPEND pages ${out})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${pages})
install(FILES ${PROJECT_BINARY_DIR}/man/equation.1.gz ${PROJECT_BINARY_DIR}/man/polymul.1.gz
        DESTINATION share/man/man1 COMPONENT programs)
install(FILES ${PROJECT_BINARY_DIR}/man/ja/equation.1.gz ${PROJECT_BINARY_DIR}/man/ja/polymul.1.gz
        DESTINATION share/man/ja/man1 COMPONENT programs)

# Only in the packages: each one's copyright and changelog.
# (A version with a Debian revision is not native: changelog.Debian.gz.)
set(changelog ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${GZIP} -9 -n -c ${linux}/changelog > ${changelog}
  DEPENDS ${linux}/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${changelog})
add_dependencies(programs man_pages)
foreach(component_package programs:tessel window:tessel-window)
  string(REPLACE ":" ";" pair ${component_package})
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${linux}/copyright ${changelog} DESTINATION share/doc/${package}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

# make package: tessel (the programs, the terminal display, the man pages;
# no Qt) and tessel-window (the window display, the desktop entries),
# which tessel recommends. Depends come from the libraries actually linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)  # the Debian revision: 1.0.0-1
set(CPACK_PACKAGE_CONTACT "Tessel maintainers <maintainers@users.noreply.c-seed-e6ff99ab.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_COMPONENTS_ALL programs window)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME tessel)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_RECOMMENDS tessel-window)
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME tessel-window)
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "tessel (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")
set(CPACK_DEBIAN_WINDOW_PACKAGE_SECTION math)
# A synopsis line, then the extended description (CPack indents it).
set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION
"expand and multiply polynomials (数式展開, 数式乗算)
equation expands products of parenthesised polynomials such as
(26a2b+c)(3a-2b2)(2ab-1) or (a+b)3, collects like terms, shows the
result after 'Answer =' and saves it as text, in a normal form or an
array form. polymul multiplies two to ten saved array-form answers.
.
Both programs ask their questions in Japanese on an 80 x 24 text screen,
shown in the terminal or, for scripts, over standard input and output.
The desktop window is in the package tessel-window.")
set(CPACK_COMPONENT_WINDOW_DESCRIPTION
"desktop window for equation and polymul
The window display of equation (数式展開) and polymul (数式乗算（ファイル）):
the 80 x 24 text screen in a desktop window (Qt 6) with Japanese input,
copy commands and scroll bars, and the programs' entries in the
desktop's application menu.")
include(CPack)

# Last of all, the record of what this installation put where, for make
# uninstall (cmake/Uninstall.cmake), which removes exactly that.
install(CODE "set(TESSEL_INSTALL_RECORD \"${PROJECT_BINARY_DIR}/install_record.txt\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallRecord.cmake)
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -P ${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  COMMENT "Removing what install_record.txt lists")
