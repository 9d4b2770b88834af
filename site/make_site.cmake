# Writes the static site into SITE from what the build made, with each file
# that may be cached named by its content ("NAME.HASH.EXT"): a browser that
# keeps an old copy never pairs an old equation.js with a new equation.wasm.
# index.html names them; it keeps its name, as do the service worker (sw.js,
# which lists every file of this version, the version named by all of them),
# the app's manifest and icons, the icon of the page and the font's licence.
#
# cmake -DSOURCE=site -DBUILD=build-web -DSITE=build-web/site -DFONT=ipag.woff2 -DICONS=packaging/web
#       -DPAGE_ICON=icon.svg -DLICENCE=copyright -P make_site.cmake
foreach(v SOURCE BUILD SITE FONT ICONS PAGE_ICON LICENCE)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "make_site.cmake: ${v} is not given")
  endif()
endforeach()

# What an earlier build wrote goes: only this build's names stay.
file(GLOB old ${SITE}/*.js ${SITE}/*.wasm ${SITE}/*.css ${SITE}/*.woff2 ${SITE}/*.ttf ${SITE}/*.png ${SITE}/index.html
     ${SITE}/manifest.webmanifest)
if(old)
  file(REMOVE ${old})
endif()

# Copies FILE into the site as STEM.HASH.EXT; NAME_VAR gets the name.
function(hashed file stem ext name_var)
  file(SHA256 ${file} hash)
  string(SUBSTRING ${hash} 0 12 hash)
  set(name ${stem}.${hash}.${ext})
  configure_file(${file} ${SITE}/${name} COPYONLY)
  set(${name_var} ${name} PARENT_SCOPE)
endfunction()

hashed(${FONT} font woff2 FONT_FILE)
configure_file(${SOURCE}/tessel.css.in ${BUILD}/site-work/tessel.css @ONLY)
hashed(${BUILD}/site-work/tessel.css tessel css CSS_FILE)
hashed(${SOURCE}/folder.js folder js FOLDER_SCRIPT)
hashed(${SOURCE}/grid.js grid js GRID_SCRIPT)
hashed(${SOURCE}/versions.js versions js VERSIONS_SCRIPT)
hashed(${SOURCE}/files.js files js FILES_SCRIPT)
hashed(${SOURCE}/tessel.js tessel js PAGE_SCRIPT)
foreach(program equation polymul)
  # The pair is named by one hash of both, so that they change together.
  file(SHA256 ${BUILD}/${program}.js js_hash)
  file(SHA256 ${BUILD}/${program}.wasm wasm_hash)
  string(SHA256 pair "${js_hash}${wasm_hash}")
  string(SUBSTRING ${pair} 0 12 pair)
  configure_file(${BUILD}/${program}.js ${SITE}/${program}.${pair}.js COPYONLY)
  configure_file(${BUILD}/${program}.wasm ${SITE}/${program}.${pair}.wasm COPYONLY)
  string(TOUPPER ${program} upper)
  set(${upper}_FILES ${program}.${pair})
endforeach()

# The files kept under their names.
set(kept_names manifest.webmanifest icon-192.png icon-512.png icon-maskable-512.png icon.svg IPA_Font_License.txt)
configure_file(${SOURCE}/manifest.webmanifest ${SITE}/manifest.webmanifest COPYONLY)
foreach(icon icon-192.png icon-512.png icon-maskable-512.png)
  configure_file(${ICONS}/${icon} ${SITE}/${icon} COPYONLY)
endforeach()
configure_file(${PAGE_ICON} ${SITE}/icon.svg COPYONLY)
configure_file(${LICENCE} ${SITE}/IPA_Font_License.txt COPYONLY)

# The version: every file of the site by its content, and the templates of
# the page and the worker.
set(named ${FONT_FILE} ${CSS_FILE} ${FOLDER_SCRIPT} ${GRID_SCRIPT} ${VERSIONS_SCRIPT} ${FILES_SCRIPT} ${PAGE_SCRIPT}
    ${EQUATION_FILES}.js ${EQUATION_FILES}.wasm ${POLYMUL_FILES}.js ${POLYMUL_FILES}.wasm)
set(fingerprint "")
foreach(name ${named})
  string(APPEND fingerprint "${name}\n")
endforeach()
foreach(name ${kept_names})
  file(SHA256 ${SITE}/${name} hash)
  string(APPEND fingerprint "${name} ${hash}\n")
endforeach()
foreach(template index.html.in sw.js.in)
  file(SHA256 ${SOURCE}/${template} hash)
  string(APPEND fingerprint "${template} ${hash}\n")
endforeach()
string(SHA256 SITE_VERSION "${fingerprint}")
string(SUBSTRING ${SITE_VERSION} 0 12 SITE_VERSION)
configure_file(${SOURCE}/index.html.in ${SITE}/index.html @ONLY)

set(SITE_FILES "'index.html'")
foreach(name ${named} ${kept_names})
  string(APPEND SITE_FILES ", '${name}'")
endforeach()
configure_file(${SOURCE}/sw.js.in ${SITE}/sw.js @ONLY)
