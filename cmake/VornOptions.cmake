# Warnings and sanitizer flags shared by every Vorn target.
add_library(vorn_options INTERFACE)
# Warnings of every target, the build tools in resources/ included; VORN_WERROR makes them errors.
# Targets with the property VORN_NO_SHADOW (the tests) go without -Wshadow.
set(VORN_WARNINGS -Wall -Wextra "$<$<NOT:$<BOOL:$<TARGET_PROPERTY:VORN_NO_SHADOW>>>:-Wshadow>")
if(VORN_WERROR)
  list(APPEND VORN_WARNINGS -Werror)
endif()
target_compile_options(vorn_options INTERFACE ${VORN_WARNINGS})
# No fused multiply-adds: scalar and vector twins, and every processor, round each step alike.
target_compile_options(vorn_options INTERFACE -ffp-contract=off)
# g++ 12 warns -Wrestrict on plain std::string concatenations inlined at -O2 (GCC bug 105651).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(vorn_options INTERFACE -Wno-restrict)
endif()
target_include_directories(vorn_options INTERFACE ${PROJECT_SOURCE_DIR})
target_link_libraries(vorn_options INTERFACE Threads::Threads)
target_compile_definitions(vorn_options INTERFACE
  VORN_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  VORN_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  VORN_VERSION_PATCH=${PROJECT_VERSION_PATCH})

if(NOT VORN_SANITIZE STREQUAL "")
  # Instrumented code at -O2 with full debug information doubles the compile time of CI for
  # nothing a report needs: -O1 keeps the runs quick, line tables keep the stack traces readable.
  set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1 -DNDEBUG")
  string(REPLACE "," ";" _vorn_sanitizers "${VORN_SANITIZE}")
  foreach(_s IN LISTS _vorn_sanitizers)
    target_compile_options(vorn_options INTERFACE -fsanitize=${_s})
    target_link_options(vorn_options INTERFACE -fsanitize=${_s})
  endforeach()
  # A finding fails the run instead of scrolling past; dividing a float by zero is never meant.
  if("undefined" IN_LIST _vorn_sanitizers)
    target_compile_options(vorn_options INTERFACE -fsanitize=float-divide-by-zero)
    target_link_options(vorn_options INTERFACE -fsanitize=float-divide-by-zero)
  endif()
  target_compile_options(vorn_options INTERFACE -fno-sanitize-recover=all -fno-omit-frame-pointer -g1)
  # The sanitizers' instrumentation makes g++ 12 see uninitialized members inside std::regex
  # and std::function where there are none; the plain build keeps the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(vorn_options INTERFACE -Wno-maybe-uninitialized)
  endif()
  # VORN_ASSERT (wave/Assert.h) checks its invariants here and costs nothing elsewhere.
  target_compile_definitions(vorn_options INTERFACE VORN_SANITIZED=1 VORN_ASSERTIONS=1)
endif()

# The .cpp files directly inside the given folders.
function(vorn_glob_sources out)
  set(_sources)
  foreach(_d IN LISTS ARGN)
    file(GLOB _found CONFIGURE_DEPENDS ${_d}/*.cpp)
    list(APPEND _sources ${_found})
  endforeach()
  set(${out} ${_sources} PARENT_SCOPE)
endfunction()

# One static library per subsystem folder; sources are picked up from the folder.
function(vorn_add_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;LIBS" ${ARGN})
  vorn_glob_sources(_sources ${ARG_DIRS})
  if(_sources)
    add_library(${name} STATIC ${_sources})
    target_link_libraries(${name} PUBLIC vorn_options ${ARG_LIBS})
  else()
    # A subsystem that has only headers so far.
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE vorn_options ${ARG_LIBS})
  endif()
endfunction()

# A plug-in module a host loads: named NAME (PREFIX none), exporting only what the version script
# `map` lets out. The statically linked engine stays private, so two builds of it never meet in a
# host. Once loaded, the module stays: the X, GL and font libraries it brings keep process-wide
# state (and the GL driver its threads) that a host's dlclose must not unmap under them.
function(vorn_plugin_module target name map)
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${name}
    PREFIX ""
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${map})
  target_link_options(${target} PRIVATE -Wl,--version-script=${map} -Wl,-z,nodelete)
  # RealtimeSanitizer's runtime lives in the host executable, not in the module.
  if(NOT VORN_SANITIZE MATCHES "realtime")
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
