# The programs as WebAssembly (Emscripten). Each is linked twice from the same
# objects: NAME.js for the page (a module factory the page starts, its folder
# a copy of the one the page keeps in the browser's store) and NAME-node.js for node, where the program
# reads and writes the real files and its standard streams (the stream
# display), as the end-to-end tests run it.
#
# Blocking waits for keys give the browser its turn through Asyncify; run-time
# errors unwind with C++ exceptions. The memory grows as a large answer needs
# it, up to the 4 GiB that 32-bit WebAssembly can address.
set(TESSEL_WEB_COMMON_LINK
  -fexceptions -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=65536 -sASYNCIFY_IMPORTS=page_wait,page_fill -sALLOW_MEMORY_GROWTH=1
  -sMAXIMUM_MEMORY=4GB
  -sEXIT_RUNTIME=1 -sEXPORTED_FUNCTIONS=_main,_TesselFatalLine,_TesselSaving
  -sEXPORTED_RUNTIME_METHODS=UTF8ToString)

function(tessel_web_program target exportName)
  get_target_property(sources ${target} SOURCES)
  get_target_property(libraries ${target} LINK_LIBRARIES)
  target_link_options(${target} PRIVATE ${TESSEL_WEB_COMMON_LINK}
    -sMODULARIZE=1 -sEXPORT_NAME=${exportName} -sENVIRONMENT=web
    -sEXPORTED_RUNTIME_METHODS=UTF8ToString,FS,ENV)
  add_executable(${target}-node ${sources})
  target_link_libraries(${target}-node PRIVATE ${libraries})
  target_link_options(${target}-node PRIVATE ${TESSEL_WEB_COMMON_LINK}
    -sENVIRONMENT=node -sNODERAWFS=1 -sWASM_ASYNC_COMPILATION=0
    "SHELL:--pre-js ${PROJECT_SOURCE_DIR}/runtime/platform/web/node_prelude.js")
  set_property(TARGET ${target}-node APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/runtime/platform/web/node_prelude.js)
  set_target_properties(${target}-node PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
endfunction()
