# Checks what the layers' include paths cannot: cmake -DROOT=<tree> -P CheckLayers.cmake
#
# Every source of a layer may include only its own layer and the layers below
# it. Within platform/, the core knows neither GTK nor the web view, and the
# GTK part does not know the web view. Toolkit and engine headers (GTK, GDK,
# WebKit, JavaScriptCore) are included only in platform/gtk and
# platform/webkit, and no include climbs out of its folder with "../".
# Prints one line per breach and fails if there is any.

cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P CheckLayers.cmake")
endif()

# What each top folder may include, besides itself. "platform" is its core;
# "platform/gtk" and "platform/webkit" are named on their own.
set(allowed_platform "")
set(allowed_framework "platform")
set(allowed_hyperlink "platform")
set(allowed_diagnostics "platform")
set(allowed_browser_host "platform;platform/gtk;platform/webkit")
set(allowed_app "platform;platform/gtk;platform/webkit;framework;hyperlink;browser_host;diagnostics")

set(layers platform framework hyperlink diagnostics browser_host app)
set(engine_headers "gtk/|gdk/|gdk-pixbuf/|gdkx\\.h|webkit2/|webkit/|jsc/|JavaScriptCore/")
set(breaches 0)

foreach(layer IN LISTS layers)
  file(GLOB_RECURSE sources LIST_DIRECTORIES false RELATIVE ${ROOT}
    ${ROOT}/${layer}/*.h ${ROOT}/${layer}/*.cpp ${ROOT}/${layer}/*.c)
  foreach(source IN LISTS sources)
    # The part of the tree the source belongs to, and what it may include.
    set(part ${layer})
    set(may ${layer} ${allowed_${layer}})
    if(source MATCHES "^platform/(gtk|webkit)/")
      set(part platform/${CMAKE_MATCH_1})
      list(APPEND may platform/gtk)
      if(CMAKE_MATCH_1 STREQUAL "webkit")
        list(APPEND may platform/webkit)
      endif()
    endif()

    file(STRINGS ${ROOT}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]*)[>\"].*" "\\1;\\2" parsed "${line}")
      list(GET parsed 0 quote)
      list(GET parsed 1 header)
      if(quote STREQUAL "<")
        if(header MATCHES "^(${engine_headers})" AND NOT part MATCHES "^platform/(gtk|webkit)$")
          message("${source}: includes <${header}>: toolkit and engine headers belong in platform/gtk and platform/webkit")
          math(EXPR breaches "${breaches} + 1")
        endif()
        continue()
      endif()
      if(header MATCHES "(^|/)\\.\\.(/|$)")
        message("${source}: includes \"${header}\": includes name headers from the root, never with ../")
        math(EXPR breaches "${breaches} + 1")
        continue()
      endif()
      if(NOT header MATCHES "/")
        continue()  # a header beside the source
      endif()
      # The layer the header belongs to, with platform's parts told apart.
      string(REGEX MATCH "^[^/]+" target "${header}")
      if(header MATCHES "^platform/(gtk|webkit)/")
        set(target platform/${CMAKE_MATCH_1})
      endif()
      string(REGEX MATCH "^[^/]+" top "${header}")
      if(NOT IS_DIRECTORY ${ROOT}/${top})
        continue()  # not one of ours: a library's header
      endif()
      if(NOT target IN_LIST may)
        string(REPLACE ";" ", " may_text "${may}")
        message("${source}: includes \"${header}\": ${part} may include only ${may_text}")
        math(EXPR breaches "${breaches} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(breaches GREATER 0)
  message(FATAL_ERROR "${breaches} include(s) break the layers")
endif()
message("The layers hold")
