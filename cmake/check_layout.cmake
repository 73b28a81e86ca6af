# The layering of src/, checked as a test:
#   cmake -DSOURCE_DIR=<source> -DWIDGETS_DIR=<QtWidgets headers> -DGUI_DIR=<QtGui headers> -P <this>
#  - the widget-free folders include no QtWidgets header;
#  - nothing outside src/app/ includes from src/app/.
cmake_minimum_required(VERSION 3.25)
set(widget_free image capture settings media ocr)

file(GLOB widget_headers RELATIVE ${WIDGETS_DIR} ${WIDGETS_DIR}/*)
# QtWidgets still forwards a few headers that moved to QtGui (qaction.h ...); those are allowed.
file(GLOB gui_headers RELATIVE ${GUI_DIR} ${GUI_DIR}/*)
list(REMOVE_ITEM widget_headers ${gui_headers})
set(failures "")
file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
foreach(f IN LISTS sources)
  file(RELATIVE_PATH rel ${SOURCE_DIR}/src ${f})
  string(REGEX MATCH "^[^/]+" folder ${rel})
  file(STRINGS ${f} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    if(NOT folder STREQUAL "app" AND line MATCHES "[\"<]app/")
      list(APPEND failures "${rel}: ${line}")
    endif()
    if(folder IN_LIST widget_free AND line MATCHES "<(QtWidgets/)?([A-Za-z_0-9.]+)>")
      if(CMAKE_MATCH_1 OR CMAKE_MATCH_2 IN_LIST widget_headers)
        list(APPEND failures "${rel}: ${line}")
      endif()
    endif()
  endforeach()
endforeach()
if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Includes against the layering:\n  ${text}")
endif()
