# Sources whose string literals are Japanese texts that must be Shift-JIS
# (CP932) bytes in the binary. GCC encodes them itself
# (-fexec-charset=CP932); for other compilers (clang for the fuzz targets) a
# copy of the source is generated with those texts as octal escapes.
function(tessel_cp932_sources target)
  foreach(source IN LISTS ARGN)
    get_filename_component(path ${source} ABSOLUTE)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_sources(${target} PRIVATE ${path})
      set_source_files_properties(${path} PROPERTIES COMPILE_OPTIONS "-fexec-charset=CP932")
    else()
      find_package(Python3 REQUIRED COMPONENTS Interpreter)
      file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${path})
      set(generated ${PROJECT_BINARY_DIR}/cp932/${relative})
      set(tool ${PROJECT_SOURCE_DIR}/tools/cp932_literals.py)
      add_custom_command(OUTPUT ${generated}
        COMMAND ${Python3_EXECUTABLE} ${tool} ${path} ${generated}
        DEPENDS ${path} ${tool}
        COMMENT "CP932 literals of ${relative}")
      target_sources(${target} PRIVATE ${generated})
      # The copy includes what the source includes, relative to the source
      # (for quoted includes only: the folder's strings.h is not the C
      # library's).
      get_filename_component(folder ${path} DIRECTORY)
      set_source_files_properties(${generated} PROPERTIES COMPILE_OPTIONS "-iquote${folder}")
    endif()
  endforeach()
endfunction()
