# Project-wide helpers: one place for language level, warnings, charset and sanitizers.

set(V4_WARNINGS -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
# Narrow literals are Shift-JIS (CP932), as the program's text is; sources are UTF-8.
set(V4_CHARSET -finput-charset=UTF-8 -fexec-charset=CP932)

function(v4_apply_options target)
  target_compile_options(${target} PRIVATE ${V4_WARNINGS} ${V4_CHARSET})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(V4_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()

# v4_add_library(name SOURCES ... [DEPS ...])
function(v4_add_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  v4_apply_options(${name})
  if(A_DEPS)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
endfunction()

# v4_add_executable(name SOURCES ... [DEPS ...])
function(v4_add_executable name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  v4_apply_options(${name})
  if(A_DEPS)
    target_link_libraries(${name} PRIVATE ${A_DEPS})
  endif()
endfunction()
