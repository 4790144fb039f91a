# The shipping programs are built for size (each at most 200 KB, static):
# their code without exceptions or unwind tables, for size, one section per
# function so the linker drops what nothing calls, and linked with
# platform/program_runtime.cpp in place of the runtime pieces that would
# bring the exception machinery back. The tests' own code keeps exceptions
# (GoogleTest) and links the same libraries. README: "How it is built".
set(VORNADEL_LEAN_OPTIONS
  $<$<COMPILE_LANGUAGE:C,CXX>:-ffunction-sections>
  $<$<COMPILE_LANGUAGE:C,CXX>:-fdata-sections>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>
  $<$<COMPILE_LANGUAGE:CXX>:-include${PROJECT_SOURCE_DIR}/cmake/implicit_std_templates.h>)
# Measured: no slower than -O3 in the start-up and skin benchmarks.
list(APPEND VORNADEL_LEAN_OPTIONS $<$<AND:$<COMPILE_LANGUAGE:C,CXX>,$<NOT:$<CONFIG:Debug>>>:-Os>)
# 32-bit code unwinds through tables only when it has exceptions; 64-bit
# Windows needs its unwind data for every function, so it keeps them.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  list(APPEND VORNADEL_LEAN_OPTIONS $<$<COMPILE_LANGUAGE:C,CXX>:-fno-asynchronous-unwind-tables>)
endif()

# comctl32 is needed only once a window is up (tool tips, the skin's mouse
# tracking): the programs load it on its first call, through a delay-load
# import library made by dlltool, so a dialer that dials and hides at
# start-up never maps it (its start-up work, and about 1.6 MB of memory).
# The functions with their argument bytes (32-bit names carry them); one the
# programs call that is not listed here is imported as usual.
set(_delayed InitCommonControlsEx@4 _TrackMouseEvent@4)
set(_def "LIBRARY COMCTL32.dll\nEXPORTS\n")
foreach(f ${_delayed})
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    string(REGEX REPLACE "@[0-9]+$" "" f ${f})
  endif()
  string(APPEND _def "${f}\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/comctl32_delay.def CONTENT "${_def}")
set(VORNADEL_COMCTL32_DELAY ${CMAKE_BINARY_DIR}/libcomctl32_delay.a)
add_custom_command(OUTPUT ${VORNADEL_COMCTL32_DELAY}
  # --kill-at: the DLL's own names have no @N.
  COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${CMAKE_BINARY_DIR}/comctl32_delay.def
          --output-delaylib ${VORNADEL_COMCTL32_DELAY}
  DEPENDS ${CMAKE_BINARY_DIR}/comctl32_delay.def VERBATIM)
add_custom_target(comctl32_delay DEPENDS ${VORNADEL_COMCTL32_DELAY})

# vornadel_lean_program(TARGET): a program of the shipping code.
function(vornadel_lean_program target)
  target_compile_options(${target} PRIVATE ${VORNADEL_LEAN_OPTIONS})
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:program_runtime>)
  add_dependencies(${target} comctl32_delay)
  # Whole archive: its entries take the place of the import library's.
  target_link_options(${target} PRIVATE -Wl,--gc-sections
                      -Wl,--whole-archive ${VORNADEL_COMCTL32_DELAY} -Wl,--no-whole-archive)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${VORNADEL_COMCTL32_DELAY})
endfunction()
