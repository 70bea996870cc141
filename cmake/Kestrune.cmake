# Shared build rules for Kestrune's modules, tests and benchmarks.

# Warnings and numeric rules applied to every target of ours.
function(kestrune_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# kestrune_module(<name> [SIGNAL] DEPS <libs...>)
# Creates the static library kestrune_<name> from every .cpp under the calling
# folder. SIGNAL marks numeric code: floating-point contraction is switched off.
function(kestrune_module name)
  cmake_parse_arguments(ARG "SIGNAL" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()  # a module is built once it holds code
  endif()
  add_library(kestrune_${name} STATIC ${sources})
  target_include_directories(kestrune_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(kestrune_${name} PUBLIC ${ARG_DEPS})
  kestrune_target_options(kestrune_${name})
  if(ARG_SIGNAL)
    target_compile_options(kestrune_${name} PRIVATE -ffp-contract=off)
  endif()
endfunction()

# kestrune_tests(<folder> DEPS <libs...>)
# One test executable per tests/<folder>/*_test.cpp file, each one CTest test.
# A file named *_threaded_test.cpp carries the label "threaded" (also run under
# ThreadSanitizer); every test carries the label of its folder.
function(kestrune_tests folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*_test.cpp)
  string(REPLACE "/" "_" folder_id ${folder})
  foreach(src IN LISTS test_sources)
    get_filename_component(base ${src} NAME_WE)
    set(target test_${folder_id}_${base})
    add_executable(${target} ${src})
    target_link_libraries(${target} PRIVATE ${ARG_DEPS} kestrune_test_main GTest::gtest GTest::gmock)
    kestrune_target_options(${target})
    add_test(NAME ${folder_id}.${base} COMMAND ${target})
    set(labels ${folder_id})
    if(base MATCHES "_threaded_test$")
      list(APPEND labels threaded)
    endif()
    # Tests run in the C locale, so numbers are formatted with a point
    # whatever the developer's own locale.
    set_tests_properties(${folder_id}.${base} PROPERTIES LABELS "${labels}" TIMEOUT 300
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
  endforeach()
endfunction()
