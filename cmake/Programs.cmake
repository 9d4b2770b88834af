# How the programs are linked.
#
# They export only what is looked up by name (the form player's window
# procedure and event handlers) and what the display modules take from them
# (platform routines): cmake/program_exports.list.
#
# Where the build allows it they also carry their own copy of the C++
# run-time library: loading the shared one costs every start more symbol
# lookups than the rest of a small run takes. Not with the sanitizers, whose
# run-time replaces the shared library's allocation routines. The display
# modules use the shared library; nothing of it crosses between them but
# plain data, memory from malloc and calls through the Display interface.
option(TESSEL_STATIC_CXX "Link the programs with their own copy of the C++ run-time library" ON)

function(tessel_program target)
  if(WIN32)
    # A program of the windows subsystem: started from the desktop it opens
    # its window and no console beside it (standard handles a parent passes,
    # or the console it is started from, still serve the stream display).
    target_link_options(${target} PRIVATE -mwindows)
  endif()
  if(WIN32 OR EMSCRIPTEN)
    return()  # the exported routines are marked in the code or found in a table
  endif()
  target_link_options(${target} PRIVATE "LINKER:--dynamic-list=${PROJECT_SOURCE_DIR}/cmake/program_exports.list")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/program_exports.list)
  if(TESSEL_STATIC_CXX AND NOT TESSEL_SANITIZE AND NOT TESSEL_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()

# A display module copied beside a test program that loads it, and copied
# again whenever the module is built anew (a copy made only when the test
# program links would go stale).
function(tessel_module_beside target module)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/$<TARGET_FILE_NAME:${module}>)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${module}.copied
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${module}> ${copy}
    COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_CURRENT_BINARY_DIR}/${module}.copied
    DEPENDS ${module} $<TARGET_FILE:${module}>)
  add_custom_target(${target}_${module} DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${module}.copied)
  add_dependencies(${target} ${target}_${module})
endfunction()
