# Helpers shared by the folders' CMake files.

# quorvane_library(NAME <target> [STATIC|INTERFACE]) with sources added by target_sources.
function(quorvane_warnings target)
  target_compile_options(${target} PRIVATE ${QUORVANE_WARNINGS})
endfunction()

# quorvane_test(<name> LABELS <labels...> SOURCES <files...> LIBS <targets...> [QT])
# Registers one test program with CTest. QT tests run on the offscreen platform.
function(quorvane_test name)
  cmake_parse_arguments(T "QT" "" "LABELS;SOURCES;LIBS;TIMEOUT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  quorvane_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_compile_definitions(${name} PRIVATE QUORVANE_TESTDATA="${QUORVANE_TESTDATA}")
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen" "QUORVANE_TESTDATA=${QUORVANE_TESTDATA}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
                                          ENVIRONMENT "${env}")
endfunction()

# Window code from every folder goes into one library, quorvane_gui, that the program and the
# UI tests link. Folders add their files with quorvane_gui_sources(); src/ creates the target
# once all folders are read.
function(quorvane_gui_sources)
  foreach(f IN LISTS ARGN)
    get_filename_component(abs ${f} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set_property(GLOBAL APPEND PROPERTY QUORVANE_GUI_SOURCES ${abs})
  endforeach()
endfunction()
