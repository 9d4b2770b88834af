# The CP932 <-> Unicode tables of the web platform, written at build time by
# a tool built for the machine that builds, from its iconv
# (tools/cp932_table.cpp), and added to a target's sources.
set(HOST_CXX c++ CACHE STRING "The C++ compiler for tools run during the build")

function(tessel_cp932_table target)
  set(tool ${PROJECT_BINARY_DIR}/tools/cp932_table)
  set(table ${CMAKE_CURRENT_BINARY_DIR}/cp932_table.cpp)
  add_custom_command(OUTPUT ${table}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/tools
    COMMAND ${HOST_CXX} -std=c++20 -O1 ${PROJECT_SOURCE_DIR}/tools/cp932_table.cpp -o ${tool}
    COMMAND ${tool} ${table}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/cp932_table.cpp
    COMMENT "The CP932 tables (from this machine's iconv)")
  add_custom_target(${target}_cp932_table DEPENDS ${table})
  add_dependencies(${target} ${target}_cp932_table)
  target_sources(${target} PRIVATE ${table})
endfunction()
