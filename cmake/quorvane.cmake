# Helpers shared by the folders' CMake files.

# quorvane_library(NAME <target> [STATIC|INTERFACE]) with sources added by target_sources.
function(quorvane_warnings target)
  target_compile_options(${target} PRIVATE ${QUORVANE_WARNINGS})
endfunction()

# quorvane_test(<name> LABELS <labels...> SOURCES <files...> LIBS <targets...> [TIMEOUT <s>])
# Registers one test program with CTest; every test runs on Qt's offscreen platform.
function(quorvane_test name)
  cmake_parse_arguments(T "" "" "LABELS;SOURCES;LIBS;TIMEOUT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  quorvane_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE QUORVANE_TESTDATA="${QUORVANE_TESTDATA}")
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen" "QUORVANE_TESTDATA=${QUORVANE_TESTDATA}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
                                          ENVIRONMENT "${env}")
endfunction()

# quorvane_ui_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>])
# A QtTest program with the label ui, linking the window library unless LIBS names others.
# The core-only (sanitizer) build has no window code and skips it.
function(quorvane_ui_test name)
  if(QUORVANE_CORE_ONLY)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;TIMEOUT" ${ARGN})
  if(NOT T_LIBS)
    set(T_LIBS quorvane_gui)
  endif()
  if(T_TIMEOUT)
    set(timeout TIMEOUT ${T_TIMEOUT})
  endif()
  quorvane_test(${name} LABELS ui SOURCES ${T_SOURCES} LIBS ${T_LIBS} Qt6::Test ${timeout})
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

# quorvane_xvfb_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>])
# A QtTest program with the labels ui and xvfb, run in a visible window on a private Xvfb server
# of its own (tests/support/with_xvfb.sh), for faults that only a real window shows: painting,
# focus, keys, timing. Skipped (77) where Xvfb is missing.
function(quorvane_xvfb_test name)
  if(QUORVANE_CORE_ONLY)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;TIMEOUT" ${ARGN})
  if(NOT T_LIBS)
    set(T_LIBS quorvane_gui)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  quorvane_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE QUORVANE_TESTDATA="${QUORVANE_TESTDATA}")
  add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/tests/support/with_xvfb.sh
                                $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES LABELS "ui;xvfb" TIMEOUT ${T_TIMEOUT}
                       SKIP_RETURN_CODE 77 ENVIRONMENT "QUORVANE_TESTDATA=${QUORVANE_TESTDATA}")
endfunction()
