# make uninstall: takes away what the last installation from this build put
# in place (install_record.txt), and nothing else:
# - only from where it went: DESTDIR (and PREFIX, when given) must be the
#   installation's, or nothing is touched;
# - only files that still hold what it put there: one changed since (or put
#   there by something else) stays, with a word;
# - then the folders of the display modules and of the message library, and
#   lib/tessel, when nothing else is in them.
# cmake [-DPREFIX=...] -P Uninstall.cmake, in the build folder.
if(NOT EXISTS install_record.txt)
  message(FATAL_ERROR "make uninstall: nothing to uninstall: install_record.txt is not here (run make install first)")
endif()
file(STRINGS install_record.txt lines)
list(POP_FRONT lines destdirLine prefixLine)
string(REGEX REPLACE "^DESTDIR=" "" installedDestdir "${destdirLine}")
string(REGEX REPLACE "^PREFIX=" "" installedPrefix "${prefixLine}")
if(NOT "$ENV{DESTDIR}" STREQUAL "${installedDestdir}")
  message(FATAL_ERROR "make uninstall: the installation went to DESTDIR='${installedDestdir}', not "
    "DESTDIR='$ENV{DESTDIR}': nothing removed (run it with DESTDIR=${installedDestdir})")
endif()
if(DEFINED PREFIX AND NOT "${PREFIX}" STREQUAL "${installedPrefix}")
  message(FATAL_ERROR "make uninstall: the installation went to PREFIX=${installedPrefix}, not "
    "PREFIX=${PREFIX}: nothing removed (run it with PREFIX=${installedPrefix})")
endif()
set(folders)
foreach(line IN LISTS lines)
  string(SUBSTRING "${line}" 0 64 recorded)
  string(SUBSTRING "${line}" 65 -1 listed)
  set(file "$ENV{DESTDIR}${listed}")
  if(EXISTS "${file}" AND NOT IS_DIRECTORY "${file}" AND NOT IS_SYMLINK "${file}")
    file(SHA256 "${file}" now)
    if(now STREQUAL recorded)
      message(STATUS "Removing ${file}")
      file(REMOVE "${file}")
    else()
      message(STATUS "Keeping ${file}: it is not the file this installation put there")
    endif()
  endif()
  get_filename_component(folder "${file}" DIRECTORY)
  if(folder MATCHES "/lib/tessel/(displays|messages)$")
    get_filename_component(parent "${folder}" DIRECTORY)
    list(APPEND folders "${folder}" "${parent}")
  endif()
endforeach()
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)  # lib/tessel/displays and /messages before lib/tessel
foreach(dir IN LISTS folders)
  file(GLOB left "${dir}/*")
  if(IS_DIRECTORY "${dir}" AND NOT left)
    file(REMOVE_RECURSE "${dir}")  # empty: nothing but the folder goes
  endif()
endforeach()
file(REMOVE install_record.txt install_manifest.txt)
