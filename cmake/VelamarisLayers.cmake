# The product's libraries in layers: a library may link (and so include from)
# only libraries of a lower layer. Configuring fails when one links sideways
# or upwards, so the folders never depend on each other in a circle.
#
#   layer 0  core, converter, plugin   (nothing of ours below them)
#   layer 1  env
#   layer 2  card
#   layer 3  download, watcher
#   layer 4  sonar
#   layer 5  update
#   layer 6  selfupdate
#   layer 7  bridge
#   layer 8  ui
set(VELAMARIS_LAYER_core 0)
set(VELAMARIS_LAYER_converter 0)
set(VELAMARIS_LAYER_plugin 0)
set(VELAMARIS_LAYER_env 1)
set(VELAMARIS_LAYER_card 2)
set(VELAMARIS_LAYER_download 3)
set(VELAMARIS_LAYER_watcher 3)
set(VELAMARIS_LAYER_sonar 4)
set(VELAMARIS_LAYER_update 5)
set(VELAMARIS_LAYER_selfupdate 6)
set(VELAMARIS_LAYER_bridge 7)
set(VELAMARIS_LAYER_ui 8)

function(velamaris_check_layers)
  foreach(name core converter plugin env card download watcher sonar update selfupdate bridge ui)
    if(NOT TARGET velamaris_${name})
      continue()
    endif()
    get_target_property(links velamaris_${name} LINK_LIBRARIES)
    if(NOT links)
      continue()
    endif()
    foreach(link IN LISTS links)
      if(NOT link MATCHES "^velamaris_(.+)$")
        continue()
      endif()
      set(other ${CMAKE_MATCH_1})
      if(NOT DEFINED VELAMARIS_LAYER_${other})
        message(FATAL_ERROR "velamaris_${name} links ${link}, which is not a product library")
      endif()
      if(NOT VELAMARIS_LAYER_${other} LESS VELAMARIS_LAYER_${name})
        message(FATAL_ERROR "velamaris_${name} (layer ${VELAMARIS_LAYER_${name}}) links ${link} "
                            "(layer ${VELAMARIS_LAYER_${other}}): a library may only link lower layers")
      endif()
    endforeach()
  endforeach()
endfunction()
