# Writes the static site into SITE from what the build made, with each file
# that may be cached named by its content ("NAME.HASH.EXT"): a browser that
# keeps an old copy never pairs an old equation.js with a new equation.wasm.
# Only index.html keeps its name; it names all the others.
#
# cmake -DSOURCE=site -DBUILD=build-web -DSITE=build-web/site -DFONT=ipag.woff2 -P make_site.cmake
foreach(v SOURCE BUILD SITE FONT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "make_site.cmake: ${v} is not given")
  endif()
endforeach()

# What an earlier build wrote goes: only this build's names stay.
file(GLOB old ${SITE}/*.js ${SITE}/*.wasm ${SITE}/*.css ${SITE}/*.woff2 ${SITE}/*.ttf ${SITE}/index.html)
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
configure_file(${SOURCE}/index.html.in ${SITE}/index.html @ONLY)
