# Which engine library the program links: the real one and the six plug-in libraries,
# given as import libraries, or, when none is given, the project's stand-in.
set(CAMVEY_ENGINE_LIBRARY "" CACHE FILEPATH
    "Import library of the real engine library; empty links the engine stand-in")
set(CAMVEY_PLUGIN_LIBRARIES "" CACHE STRING
    "Import libraries of the six plug-in libraries (a ;-list), with CAMVEY_ENGINE_LIBRARY")

add_library(camvey_engine_library INTERFACE)
if(CAMVEY_ENGINE_LIBRARY)
  target_link_libraries(camvey_engine_library INTERFACE ${CAMVEY_ENGINE_LIBRARY}
                        ${CAMVEY_PLUGIN_LIBRARIES})
else()
  # Link only: what links the engine library does not see the stand-in's headers.
  target_link_libraries(camvey_engine_library INTERFACE $<LINK_ONLY:camvey_engine_standin>)
endif()
