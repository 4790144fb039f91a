# window_library(NAME RESOURCES file.rc SOURCES files... LIBS libs...)
# A program's windows as NAME_lib, and its resources as the object library
# NAME_resources: the program and the tests link the same windows and carry
# the same resources.
function(window_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "RESOURCES" "SOURCES;LIBS")
  add_library(${name}_lib STATIC ${arg_SOURCES})
  target_include_directories(${name}_lib PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name}_lib PUBLIC ${arg_LIBS})
  add_library(${name}_resources OBJECT ${arg_RESOURCES})
  target_include_directories(${name}_resources PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
