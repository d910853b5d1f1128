# Runs the layer check on a small tree with one breach of each kind and checks
# that it fails, names every breach and passes over the sources that keep to
# their layers: cmake -DCHECK=<CheckLayers.cmake> -DFIXTURE=<tree> -P CheckFixture.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${FIXTURE} -P ${CHECK}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "the check passed a tree that breaks the layers:\n${output}")
endif()

set(expected
  "platform/CoreSeesGtk.cpp: includes \"platform/gtk/Look.h\""
  "platform/gtk/GtkSeesWebView.cpp: includes \"platform/webkit/WebView.h\""
  "framework/Upward.cpp: includes \"app/Main.h\""
  "hyperlink/Sideways.h: includes \"framework/FeMaster.h\""
  "browser_host/Toolkit.cpp: includes <gtk/gtk.h>"
  "diagnostics/Climbs.cpp: includes \"../app/Main.h\""
  "6 include(s) break the layers")
foreach(line IN LISTS expected)
  string(FIND "${output}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check did not report: ${line}\nIt said:\n${output}")
  endif()
endforeach()
if(output MATCHES "Fine\\.cpp")
  message(FATAL_ERROR "the check reported a source that keeps to its layer:\n${output}")
endif()
message("The check finds every breach in the fixture")
