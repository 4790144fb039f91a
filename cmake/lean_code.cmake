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

# vornadel_lean_program(TARGET): a program of the shipping code.
function(vornadel_lean_program target)
  target_compile_options(${target} PRIVATE ${VORNADEL_LEAN_OPTIONS})
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:program_runtime>)
  target_link_options(${target} PRIVATE -Wl,--gc-sections)
endfunction()
