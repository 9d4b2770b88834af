# Run by an installation once everything is in place: install_record.txt in
# the build folder says where it went (DESTDIR, PREFIX) and what each file
# it put there holds (SHA-256), so that make uninstall takes away exactly
# those files, from there, and nothing that changed since.
set(record "${TESSEL_INSTALL_RECORD}")
file(WRITE "${record}" "DESTDIR=$ENV{DESTDIR}\nPREFIX=${CMAKE_INSTALL_PREFIX}\n")
foreach(installed IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
  if(EXISTS "$ENV{DESTDIR}${installed}" AND NOT IS_DIRECTORY "$ENV{DESTDIR}${installed}")
    file(SHA256 "$ENV{DESTDIR}${installed}" hash)
    file(APPEND "${record}" "${hash} ${installed}\n")
  endif()
endforeach()
